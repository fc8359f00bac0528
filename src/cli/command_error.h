// How a command ends when it cannot do what was asked: a one-line message and the exit code a
// script can trust (0 done, 1 the board or the system failed, 2 the request itself is wrong).
#pragma once

#include "app/system_error.h"

#include <stdexcept>
#include <string>

namespace korvex::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceError = 1;
inline constexpr int kExitBadInput = 2;

class CommandError : public std::runtime_error {
public:
    CommandError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

[[noreturn]] inline void badInput(const std::string& message) { throw CommandError(kExitBadInput, message); }
[[noreturn]] inline void deviceError(const std::string& message) { throw CommandError(kExitDeviceError, message); }

// The system's text for an error number, as the windows' reports give it too.
using app::systemErrorText;

// A command stopped by a signal ends as a shell expects of a program the signal ended: 128 + its
// number, 130 for Ctrl+C (SIGINT) and 143 for SIGTERM.
inline int signalExitCode(int signal) { return 128 + signal; }

}  // namespace korvex::cli
