// doctor on Linux: every 5a17:0102 hidraw node and whether this user may open it, whether our udev
// rule is installed and has been applied to the nodes, and the command that fixes what is missing.
#include "app/diagnostics.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"
#include "device/hid_platform.h"
#include "device/linux/hidraw_text.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace korvex::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRuleName = "70-korvex-config.rules";
constexpr const char* kReload = "sudo udevadm control --reload";

struct BoardNode {
    std::string name;    // hidraw3
    std::string serial;  // HID_UNIQ
    std::string number;  // "244:3", the node's device number as sysfs gives it
    fs::path hidDevice;  // the node's parent in sysfs, the HID device BUS:5A17:0102.INSTANCE
};

// A word for the shell: as it is when it holds nothing the shell would read otherwise.
std::string shellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._:+-") ==
            std::string::npos)
        return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Re-applies the rules to one board's node alone, as the Debian package does when it is
// installed: a hidraw node has no vendor or product attribute of its own, so it is chosen through
// its parent HID device. Every other device of the system is left alone.
std::string reapplyTo(const BoardNode& board) {
    return "sudo udevadm trigger --action=change --subsystem-match=hidraw --parent-match=" +
           shellWord(board.hidDevice.string());
}

// At most a few KiB: sysfs and udev records are small, and nothing here reads more.
std::string readSmall(const fs::path& path) {
    std::ifstream file(path);
    std::string text(4096, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

std::string valueOf(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

std::vector<BoardNode> boardNodes(const fs::path& sysClassHidraw) {
    std::vector<BoardNode> nodes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysClassHidraw, error)) {
        const std::string uevent = readSmall(entry.path() / "device" / "uevent");
        const auto ids = parseHidId(valueOf(uevent, "HID_ID"));
        if (!ids || ids->vendor != kBoardVendorId || ids->product != kBoardProductId) continue;
        std::string number = readSmall(entry.path() / "dev");
        number.erase(std::remove(number.begin(), number.end(), '\n'), number.end());
        std::error_code unresolved;
        fs::path parent = fs::canonical(entry.path() / "device", unresolved);
        if (unresolved) parent = entry.path() / "device";
        nodes.push_back({entry.path().filename().string(), valueOf(uevent, "HID_UNIQ"), number, parent});
    }
    std::sort(nodes.begin(), nodes.end(), [](const BoardNode& a, const BoardNode& b) {
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    });
    return nodes;
}

// udev's record of a node lists its tags: "G:uaccess" once our rule (or another) tagged it.
bool taggedForSeat(const fs::path& udevData, const std::string& number) {
    std::istringstream lines(readSmall(udevData / ("c" + number)));
    for (std::string line; std::getline(lines, line);)
        if (line == "G:uaccess" || line == "Q:uaccess") return true;
    return false;
}

std::string ownership(const struct stat& node) {
    const passwd* user = ::getpwuid(node.st_uid);
    const group* grp = ::getgrgid(node.st_gid);
    std::ostringstream text;
    text << std::oct << std::setw(4) << std::setfill('0') << (node.st_mode & 07777) << std::dec << " "
         << (user ? user->pw_name : std::to_string(node.st_uid)) << ":"
         << (grp ? grp->gr_name : std::to_string(node.st_gid));
    return text.str();
}

std::optional<fs::path> installedRule(const SystemPaths& paths) {
    for (const fs::path& dir : paths.ruleDirs)
        if (std::error_code error; fs::exists(dir / kRuleName, error)) return dir / kRuleName;
    return std::nullopt;
}

bool mayOpen(const fs::path& node) { return ::access(node.c_str(), R_OK | W_OK) == 0; }

app::UdevRuleState udevRuleState(const SystemPaths& paths) {
    app::UdevRuleState state;
    if (const auto rule = installedRule(paths)) {
        state.installedAt = rule->string();
        state.differs = readSmall(*rule) != udevRuleText();
    }
    for (const BoardNode& board : boardNodes(paths.sysClassHidraw)) {
        const fs::path node = paths.dev / board.name;
        state.nodes.push_back(
            {node.string(), board.serial, mayOpen(node), taggedForSeat(paths.udevData, board.number)});
    }
    return state;
}

}  // namespace

int doctor(CliContext& context, bool json) {
    if (json) {
        app::Diagnostics diagnostics =
            app::gatherDiagnostics(context.platform, "korvexctl " KORVEX_VERSION, systemErrorText);
        diagnostics.udevRule = udevRuleState(context.paths);
        context.out << app::diagnosticsJson(diagnostics);
        return kExitOk;
    }
    std::ostream& out = context.out;
    bool healthy = true;
    std::vector<std::string> fixes;
    const auto fix = [&fixes](const std::string& command) {
        if (std::find(fixes.begin(), fixes.end(), command) == fixes.end()) fixes.push_back(command);
    };

    const std::optional<fs::path> rule = installedRule(context.paths);
    if (rule) {
        out << "udev rule: installed as " << rule->string() << "\n";
        if (readSmall(*rule) != udevRuleText())
            out << "udev rule: differs from this korvexctl's (korvexctl doctor --rule shows it)\n";
    } else {
        healthy = false;
        out << "udev rule: not installed (looked in";
        for (const fs::path& dir : context.paths.ruleDirs) out << " " << dir.string();
        out << ")\n";
        fix(std::string("korvexctl doctor --rule | sudo tee /etc/udev/rules.d/") + kRuleName + " >/dev/null");
        fix(kReload);
    }

    const auto nodes = boardNodes(context.paths.sysClassHidraw);
    if (nodes.empty()) {
        healthy = false;
        out << "boards: none; no hidraw node is a 5a17:0102 board (is it plugged in? lsusb -d 5a17:0102 lists it)\n";
    }
    for (const BoardNode& board : nodes) {
        const fs::path node = context.paths.dev / board.name;
        struct stat status {};
        const bool present = ::stat(node.c_str(), &status) == 0;
        const bool usable = present && mayOpen(node);
        const bool tagged = taggedForSeat(context.paths.udevData, board.number);
        out << printable(node.string()) << ": board "
            << (board.serial.empty() ? "without serial number" : printable(board.serial)) << ", "
            << (present ? ownership(status) : "node missing") << ", "
            << (usable ? "read/write for you" : "no access for you") << ", "
            << (tagged ? "rule applied (uaccess)" : "rule not applied") << "\n";
        // A rule installed now reaches a board already plugged in once it is applied to its node.
        if (!rule) fix(reapplyTo(board));
        if (usable) continue;
        healthy = false;
        if (!rule) continue;
        if (!tagged) {
            fix(kReload);
            fix(reapplyTo(board));
        } else {
            // The tag gives access only to the user at the seat; over ssh, or without a seat, name the user.
            const passwd* user = ::getpwuid(::getuid());
            fix("sudo setfacl -m u:" + (user ? shellWord(user->pw_name) : std::string("$USER")) + ":rw " +
                shellWord(node.string()));
        }
    }
    if (healthy) {
        out << "Everything is in order.\n";
        return kExitOk;
    }
    if (!fixes.empty()) {
        out << "To fix, run:\n";
        for (const std::string& command : fixes) out << "  " << command << "\n";
    }
    return kExitDeviceError;
}

}  // namespace korvex::cli
