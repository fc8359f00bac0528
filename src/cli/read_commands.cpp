// list and show: what is plugged in, and what one board holds.
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"
#include "cli/settings_file.h"
#include "cli/settings_text.h"
#include "device/board_commands.h"
#include "protocol/settings.h"

#include <nlohmann/json.hpp>

#include <iomanip>
#include <map>

namespace korvex::cli {

namespace {

std::string trimmed(const std::string& caption) { return caption.empty() ? caption : caption.substr(1); }

// Values from the board: printed with their control characters escaped.
void printLine(std::ostream& out, const std::string& name, const std::string& value) {
    out << std::left << std::setw(14) << (name + ":") << printable(value) << "\n";
}

// JSON escapes control characters itself; text that is not UTF-8 is replaced rather than thrown on.
std::string jsonText(const nlohmann::json& value) {
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

int listBoards(CliContext& context, bool json) {
    DeviceSession session;
    const auto boards = scanBoards(context.platform, session);
    std::map<std::string, int> seen;  // boards so far per serial, for --index
    nlohmann::json list = nlohmann::json::array();
    for (const BoardRecord& board : boards) {
        nlohmann::json entry;
        entry["path"] = board.path;
        if (board.usable()) {
            const std::uint16_t version = board.attributes.releaseNumber;
            entry["serial"] = board.serial;
            entry["index"] = ++seen[board.serial];
            entry["firmware"] = versionText(version);
            entry["configurable"] = version >= kMinFirmwareVersion;
            entry["error"] = nullptr;
        } else {
            entry["serial"] = nullptr;
            entry["index"] = nullptr;
            entry["firmware"] = nullptr;
            entry["configurable"] = false;
            entry["error"] = systemErrorText(board.openError);
        }
        list.push_back(entry);
    }
    if (json) {
        context.out << jsonText(list);
        return kExitOk;
    }
    if (list.empty()) {
        context.out << "No board (" << std::hex << std::setfill('0') << std::setw(4) << kBoardVendorId << ":"
                    << std::setw(4) << kBoardProductId << std::dec << std::setfill(' ') << ") found.\n";
        return kExitOk;
    }
    context.out << std::left << std::setw(20) << "SERIAL" << std::setw(7) << "INDEX" << std::setw(16) << "FIRMWARE"
                << std::setw(28) << "ACCESS"
                << "PATH\n";
    for (const auto& entry : list) {
        const bool usable = entry["error"].is_null();
        std::string firmware = usable ? entry["firmware"].get<std::string>() : "-";
        if (usable && !entry["configurable"].get<bool>()) firmware += " (too old)";
        context.out << std::setw(20) << (usable ? printable(entry["serial"].get<std::string>()) : "-") << std::setw(7)
                    << (usable ? std::to_string(entry["index"].get<int>()) : "-") << std::setw(16) << firmware
                    << std::setw(28) << (usable ? "ok" : printable(entry["error"].get<std::string>()))
                    << printable(entry["path"].get<std::string>()) << "\n";
    }
    return kExitOk;
}

int showBoard(CliContext& context, BoardChoice choice, bool json) {
    if (choice.serial.empty()) {
        // Without a serial number: the one board present, when there is just one.
        DeviceSession session;
        std::vector<std::string> serials;
        for (const BoardRecord& board : scanBoards(context.platform, session))
            if (board.usable()) serials.push_back(board.serial);
        if (serials.empty()) deviceError("no board found (korvexctl doctor tells why)");
        if (serials.size() > 1)
            badInput(std::to_string(serials.size()) + " boards are plugged in: name one (korvexctl list shows them)");
        choice.serial = serials.front();
        choice.index = 1;
    }
    BoardConnection board(context.platform, choice.serial, choice.index);
    const PanelView& view = board.read();
    const bool loaded = view.state == PanelState::Loaded;
    if (json) {
        nlohmann::json shown = loaded ? settingsJson(view.settings) : nlohmann::json::object();
        shown["serial"] = board.serial();
        shown["manufacturer"] = trimmed(view.manufacturer);
        shown["product"] = trimmed(view.product);
        shown["firmware"] = versionText(board.session().attributes.releaseNumber);
        if (loaded) context.out << jsonText(shown);
    } else {
        printLine(context.out, "serial", board.serial());
        printLine(context.out, "manufacturer", trimmed(view.manufacturer));
        printLine(context.out, "product", trimmed(view.product));
        printLine(context.out, "firmware", versionText(board.session().attributes.releaseNumber));
    }
    const BoardSettings& settings = board.loadedSettings();  // says why, when the board cannot be read
    if (json) return kExitOk;
    const auto codes = modeCodes(settings);
    for (int pair = 1; pair <= kPairCount; ++pair)
        printLine(context.out, pairName(pair),
                  kEncoderModeTexts[static_cast<std::size_t>(codes[static_cast<std::size_t>(pair - 1)])]);
    printLine(context.out, "pulse",
              pulseKnown(settings) ? pulseText(settings.pulseCode)
                                   : "none (code " + std::to_string(settings.pulseCode) + ")");
    printLine(context.out, "hide",
              hideKnown(settings) ? (settings.hideFlag ? "on" : "off")
                                  : "unknown (" + std::to_string(settings.hideFlag) + ")");
    return kExitOk;
}

}  // namespace korvex::cli
