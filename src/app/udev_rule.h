// The udev rule that gives the user at the seat access to the boards, and what a Linux system
// shows of it: where it is installed, and each board node with its access and udev's tag. The
// command line's doctor and the windows' diagnostics read the same files through these.
#pragma once

#include "app/diagnostics.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvex::app {

// Where the hidraw nodes, udev's records and the rule are found on Linux; tests point it elsewhere.
struct SystemPaths {
    std::filesystem::path sysClassHidraw = "/sys/class/hidraw";
    std::filesystem::path dev = "/dev";
    std::filesystem::path udevData = "/run/udev/data";
    std::vector<std::filesystem::path> ruleDirs = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
};

inline constexpr const char* kUdevRuleName = "70-korvex-config.rules";

// The rule as packaged.
const char* udevRuleText();

// A 5a17:0102 hidraw node as sysfs lists it.
struct BoardNode {
    std::string name;                 // hidraw3
    std::string serial;               // HID_UNIQ
    std::string number;               // "244:3", the node's device number as sysfs gives it
    std::filesystem::path hidDevice;  // the node's parent in sysfs, the HID device BUS:5A17:0102.INSTANCE
};

// The rest is Linux only.
// The board nodes, in the order of their numbers.
std::vector<BoardNode> boardNodes(const std::filesystem::path& sysClassHidraw);
// udev applied a rule that gives the seat's user access (uaccess) to the node with this number.
bool taggedForSeat(const std::filesystem::path& udevData, const std::string& number);
// The first rule directory holding our rule.
std::optional<std::filesystem::path> installedRule(const SystemPaths& paths);
// The installed rule is not the one this program carries.
bool ruleDiffers(const std::filesystem::path& rule);
// This user may read and write the node.
bool mayOpen(const std::filesystem::path& node);
UdevRuleState udevRuleState(const SystemPaths& paths);

}  // namespace korvex::app
