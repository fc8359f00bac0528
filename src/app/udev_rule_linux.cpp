#include "app/udev_rule.h"

#include "device/hid_platform.h"
#include "device/linux/hidraw_text.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace korvex::app {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

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

std::optional<fs::path> installedRule(const SystemPaths& paths) {
    for (const fs::path& dir : paths.ruleDirs)
        if (std::error_code error; fs::exists(dir / kUdevRuleName, error)) return dir / kUdevRuleName;
    return std::nullopt;
}

bool ruleDiffers(const fs::path& rule) { return readSmall(rule) != udevRuleText(); }

bool mayOpen(const fs::path& node) { return ::access(node.c_str(), R_OK | W_OK) == 0; }

UdevRuleState udevRuleState(const SystemPaths& paths) {
    UdevRuleState state;
    if (const auto rule = installedRule(paths)) {
        state.installedAt = rule->string();
        state.differs = ruleDiffers(*rule);
    }
    for (const BoardNode& board : boardNodes(paths.sysClassHidraw)) {
        const fs::path node = paths.dev / board.name;
        state.nodes.push_back(
            {node.string(), board.serial, mayOpen(node), taggedForSeat(paths.udevData, board.number)});
    }
    return state;
}

}  // namespace korvex::app
