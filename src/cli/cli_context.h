// What every command works with: the HID access, the two output streams, a way to learn that the
// user asked to stop (Ctrl+C), and where the diagnostics look on Linux. Tests fill it with the
// simulated bus, string streams and a scratch directory.
#pragma once

#include "app/udev_rule.h"
#include "cli/command_error.h"
#include "device/hid_platform.h"

#include <csignal>
#include <functional>
#include <ostream>
#include <vector>

namespace korvex::cli {

// Where `doctor` finds hidraw nodes, udev's records and the rule on Linux.
using app::SystemPaths;

struct CliContext {
    HidPlatform& platform;
    std::ostream& out;
    std::ostream& err;
    // The signal that asked korvexctl to stop (SIGINT for Ctrl+C, SIGTERM), 0 while none has.
    std::function<int()> stopSignal = [] { return 0; };
    SystemPaths paths;
};

// Every command calls this between its steps (before a board is opened, between two writes), so
// that Ctrl+C and SIGTERM end it promptly: a CommandError with 130 or 143, and nothing more sent.
inline void stopIfAsked(const CliContext& context) {
    if (const int number = context.stopSignal())
        throw CommandError(signalExitCode(number), number == SIGINT ? "interrupted" : "terminated");
}

}  // namespace korvex::cli
