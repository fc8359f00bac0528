// doctor on Linux: every 5a17:0102 hidraw node and whether this user may open it, whether our udev
// rule is installed and has been applied to the nodes, and the command that fixes what is missing.
#include "app/diagnostics.h"
#include "app/udev_rule.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace korvex::cli {

namespace {

namespace fs = std::filesystem;

using app::BoardNode;
constexpr const char* kReload = "sudo udevadm control --reload";

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

std::string ownership(const struct stat& node) {
    const passwd* user = ::getpwuid(node.st_uid);
    const group* grp = ::getgrgid(node.st_gid);
    std::ostringstream text;
    text << std::oct << std::setw(4) << std::setfill('0') << (node.st_mode & 07777) << std::dec << " "
         << (user ? user->pw_name : std::to_string(node.st_uid)) << ":"
         << (grp ? grp->gr_name : std::to_string(node.st_gid));
    return text.str();
}

}  // namespace

int doctor(CliContext& context, bool json) {
    if (json) {
        context.out << app::diagnosticsReport(context.platform, "korvexctl " KORVEX_VERSION, &context.paths);
        return kExitOk;
    }
    std::ostream& out = context.out;
    bool healthy = true;
    std::vector<std::string> fixes;
    const auto fix = [&fixes](const std::string& command) {
        if (std::find(fixes.begin(), fixes.end(), command) == fixes.end()) fixes.push_back(command);
    };

    const std::optional<fs::path> rule = app::installedRule(context.paths);
    if (rule) {
        out << "udev rule: installed as " << rule->string() << "\n";
        if (app::ruleDiffers(*rule))
            out << "udev rule: differs from this korvexctl's (korvexctl doctor --rule shows it)\n";
    } else {
        healthy = false;
        out << "udev rule: not installed (looked in";
        for (const fs::path& dir : context.paths.ruleDirs) out << " " << dir.string();
        out << ")\n";
        fix(std::string("korvexctl doctor --rule | sudo tee /etc/udev/rules.d/") + app::kUdevRuleName + " >/dev/null");
        fix(kReload);
    }

    const auto nodes = app::boardNodes(context.paths.sysClassHidraw);
    if (nodes.empty()) {
        healthy = false;
        out << "boards: none; no hidraw node is a 5a17:0102 board (is it plugged in? lsusb -d 5a17:0102 lists it)\n";
    }
    for (const BoardNode& board : nodes) {
        const fs::path node = context.paths.dev / board.name;
        struct stat status {};
        const bool present = ::stat(node.c_str(), &status) == 0;
        const bool usable = present && app::mayOpen(node);
        const bool tagged = app::taggedForSeat(context.paths.udevData, board.number);
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
