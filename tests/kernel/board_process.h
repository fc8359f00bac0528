// korvex-virtual-board run as a child process, driven through its standard input and output.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace korvex::kerneltest {

class BoardProcess {
public:
    BoardProcess() = default;
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;
    ~BoardProcess();

    bool start(const std::string& program, const std::vector<std::string>& arguments);
    // Sends one command line; safe from any thread.
    bool send(const std::string& command) const;
    // The next output line, or nothing if none came within `bound` or the program ended.
    std::optional<std::string> nextLine(std::chrono::milliseconds bound);

private:
    pid_t pid_ = -1;
    int toBoard_ = -1;
    int fromBoard_ = -1;
    std::string buffered_;
};

}  // namespace korvex::kerneltest
