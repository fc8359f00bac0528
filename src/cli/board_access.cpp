#include "cli/board_access.h"

#include "cli/command_error.h"
#include "device/board_commands.h"

#include <vector>

namespace korvex::cli {

namespace {

std::string plural(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

BoardConnection::BoardConnection(HidPlatform& platform, const std::string& serial, std::optional<int> index)
    : platform_(platform), serial_(serial) {
    std::vector<BoardRecord> matches;
    std::size_t refused = 0;
    int refusal = 0;
    for (BoardRecord& record : scanBoards(platform, session_)) {
        if (!record.usable()) {
            ++refused;
            refusal = record.openError;
        } else if (record.serial == serial) {
            matches.push_back(std::move(record));
        }
    }
    if (matches.empty()) {
        // A board we may not open could be the one asked for: that is the system's fault, not the user's.
        if (refused > 0)
            deviceError("no board " + serial + " among those that could be opened; " + plural(refused, "board") +
                        " refused: " + systemErrorText(refusal) + " (see korvexctl doctor)");
        badInput("no board with serial number " + serial + " (korvexctl list shows them)");
    }
    if (!index && matches.size() > 1)
        badInput(std::to_string(matches.size()) + " boards have serial number " + serial +
                 ": choose one with --index 1 to --index " + std::to_string(matches.size()));
    const int chosen = index.value_or(1);
    if (chosen < 1 || static_cast<std::size_t>(chosen) > matches.size())
        badInput("--index " + std::to_string(chosen) + ": " + plural(matches.size(), "board") + " with serial number " +
                 serial);
    if (!openBoardAt(platform, session_, matches[static_cast<std::size_t>(chosen - 1)].path, serial))
        deviceError(serial + ": the board could not be opened again (unplugged?)");
}

BoardConnection::~BoardConnection() {
    if (session_.boardOpen()) platform_.close(session_.deviceHandle);
}

const PanelView& BoardConnection::read() {
    view_ = readPanel(platform_, session_);
    // As the window does: only a complete read-back opens the way for writes.
    session_.connection = panelConnection(view_->state, Connection::Open);
    return *view_;
}

const BoardSettings& BoardConnection::loadedSettings() {
    const PanelView& view = view_ ? *view_ : read();
    switch (view.state) {
    case PanelState::Loaded: return view.settings;
    case PanelState::Refused:
        deviceError(serial_ + ": firmware " + versionText(session_.attributes.releaseNumber) + " is older than " +
                    versionText(kMinFirmwareVersion) + "; upgrade the firmware to set the board up");
    case PanelState::Unsupported:
        deviceError(serial_ + ": feature reports of " + std::to_string(session_.capabilities.featureReportLength) +
                    " bytes cannot carry the board's commands");
    case PanelState::Faulted: deviceError(serial_ + ": the board did not answer when its settings were read");
    case PanelState::Cleared: break;
    }
    deviceError(serial_ + ": the board is not open");
}

}  // namespace korvex::cli
