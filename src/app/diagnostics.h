// What a user sends when asking for help with a board: the program's and the system's versions,
// the boards found, the udev rule's state on Linux, the settings of the first board that opens,
// and the last errors, as one JSON object. Neither the user's name nor the home folder is in it.
// The command line prints it; the windows can offer it to copy.
#pragma once

#include "device/discovery.h"
#include "device/hid_platform.h"
#include "protocol/settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvex::app {

struct SystemPaths;

// The udev rule and the board nodes as a Linux system shows them.
struct UdevRuleState {
    std::string installedAt;  // empty: not installed
    bool differs = false;     // installed, but not the rule this program carries
    struct Node {
        std::string path;  // /dev/hidraw3
        std::string serial;
        bool access = false;  // this user may read and write it
        bool tagged = false;  // udev applied the rule to it (uaccess)
    };
    std::vector<Node> nodes;
};

struct Diagnostics {
    std::string program;  // "korvexctl 1.0.0"
    std::string system;   // "Linux 6.1.0-18-amd64 x86_64", "Windows 10.0.19045"
    std::vector<BoardRecord> boards;
    std::optional<UdevRuleState> udevRule;  // Linux only
    // The first board that opens, once read: its serial, and its settings if they were read whole.
    std::optional<std::string> loadedSerial;
    std::optional<BoardSettings> loadedSettings;
    std::string loadedState;  // "loaded", "firmware too old", "no answer" ...
    struct Error {
        std::string where;  // the board's path, or what was being done
        int code = 0;
        std::string text;
    };
    std::vector<Error> errors;
};

// The running system's name and version.
std::string systemVersion();

// Scans the boards, opens the first usable one and reads its settings as the window does (no
// write is ever sent), and notes every open error and the platform's last error when a read
// fails. `errorText` turns a system error code into words.
Diagnostics gatherDiagnostics(HidPlatform& platform, const std::string& program,
                              const std::function<std::string(int)>& errorText);

// `text` with the home folder written as "~" and the user name, as a whole word, as "<user>".
std::string scrubbed(std::string text, const std::string& home, const std::string& user);

// The JSON text, every string scrubbed of `home` and `user` (empty: taken from the environment:
// HOME and USER or LOGNAME; USERPROFILE and USERNAME on Windows).
std::string diagnosticsJson(const Diagnostics& diagnostics, std::string home = {}, std::string user = {});

// The report as `korvexctl doctor --json` prints it, for the boards of `platform`, with system error
// texts; on Linux with the udev rule's state read under `udev` (nullptr for a simulated bus, whose
// boards have no nodes).
std::string diagnosticsReport(HidPlatform& platform, const std::string& program, const SystemPaths* udev);

}  // namespace korvex::app
