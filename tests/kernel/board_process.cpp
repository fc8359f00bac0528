#include "board_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvex::kerneltest {

BoardProcess::~BoardProcess() {
    if (toBoard_ >= 0) ::close(toBoard_);
    if (fromBoard_ >= 0) ::close(fromBoard_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool BoardProcess::start(const std::string& program, const std::vector<std::string>& arguments) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toBoard_ = in[1];
    fromBoard_ = out[0];
    return true;
}

bool BoardProcess::send(const std::string& command) const {
    const std::string line = command + "\n";
    return ::write(toBoard_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

std::optional<std::string> BoardProcess::nextLine(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watch{fromBoard_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&watch, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
        char chunk[256];
        const ssize_t got = ::read(fromBoard_, chunk, sizeof chunk);
        if (got <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(got));
    }
}

}  // namespace korvex::kerneltest

namespace korvex::kerneltest {

int BoardProcess::finish() {
    if (toBoard_ >= 0) ::close(toBoard_);
    toBoard_ = -1;
    int status = 0;
    const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace korvex::kerneltest
