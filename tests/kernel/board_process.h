// A program run as a child process (korvex-virtual-board, korvexctl), driven through its standard
// input and output.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <optional>
#include <string>
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
    // Closes its standard input and waits for it to end: its exit code, or -1 if it was killed.
    int finish();

private:
    pid_t pid_ = -1;
    int toBoard_ = -1;
    int fromBoard_ = -1;
    std::string buffered_;
};

}  // namespace korvex::kerneltest
