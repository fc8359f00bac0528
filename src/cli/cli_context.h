// What every command works with: the HID access, the two output streams, a way to learn that the
// user asked to stop (Ctrl+C), and where the diagnostics look on Linux. Tests fill it with the
// simulated bus, string streams and a scratch directory.
#pragma once

#include "device/hid_platform.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace korvex::cli {

// Where `doctor` finds hidraw nodes, udev's records and the rule on Linux.
struct SystemPaths {
    std::filesystem::path sysClassHidraw = "/sys/class/hidraw";
    std::filesystem::path dev = "/dev";
    std::filesystem::path udevData = "/run/udev/data";
    std::vector<std::filesystem::path> ruleDirs = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
};

struct CliContext {
    HidPlatform& platform;
    std::ostream& out;
    std::ostream& err;
    std::function<bool()> stopRequested = [] { return false; };
    SystemPaths paths;
};

}  // namespace korvex::cli
