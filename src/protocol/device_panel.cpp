#include "protocol/device_panel.h"

#include "device/board_commands.h"
#include "device/device_strings.h"
#include "protocol/command_reports.h"

#include <array>
#include <cstdio>

namespace korvex {

namespace {

// Captions that show a board's value begin with one blank.
std::string shown(const std::string& value) {
    std::string caption(1, ' ');
    caption.append(value);
    return caption;
}

}  // namespace

std::string versionText(std::uint16_t versionNumber) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%X", static_cast<unsigned>(versionNumber >> 8),
                  static_cast<unsigned>(versionNumber & 0xFF));
    return text;
}

std::string versionCaption(std::uint16_t versionNumber) { return shown(versionText(versionNumber)); }

Connection panelConnection(PanelState state, Connection opened) {
    switch (state) {
    case PanelState::Loaded: return Connection::Loaded;
    case PanelState::Faulted: return Connection::Faulted;
    default: return opened;
    }
}

std::optional<BoardSettings> readSettings(HidPlatform& platform, DeviceSession& session) {
    BoardSettings settings;
    for (const auto& [code, value] :
         {std::pair{kCommandModesLow, &settings.modesLow}, std::pair{kCommandModesHigh, &settings.modesHigh},
          std::pair{kCommandPulse, &settings.pulseCode}, std::pair{kCommandHide, &settings.hideFlag}}) {
        const auto read = queryCommand(platform, session, code);
        if (!read) return std::nullopt;
        *value = *read;
    }
    return settings;
}

PanelView readPanel(HidPlatform& platform, DeviceSession& session) {
    PanelView view;
    if (!session.boardOpen()) return view;

    // Device details. The release number was read when the board was opened; a string that
    // cannot be read leaves only its own caption empty (a board gone meanwhile fails the
    // read-back below, so it is never taken for an old one).
    std::string text;
    if (platform.getString(session.deviceHandle, HidString::Manufacturer, text)) {
        view.manufacturer = shown(narrowDeviceString(text));
    }
    if (platform.getString(session.deviceHandle, HidString::Product, text)) {
        view.product = shown(narrowDeviceString(text));
    }
    const std::uint16_t version = session.attributes.releaseNumber;
    view.version = versionCaption(version);

    if (version < kMinFirmwareVersion) {
        view.state = PanelState::Refused;
        view.version.append(kFirmwareWarning);
        return view;
    }
    // A board whose feature reports cannot carry a command, or would overflow the response
    // buffer, is shown but not configured.
    if (!featureLengthSupported(session.capabilities)) {
        view.state = PanelState::Unsupported;
        return view;
    }
    const auto settings = readSettings(platform, session);
    view.state = settings ? PanelState::Loaded : PanelState::Faulted;
    if (settings) view.settings = *settings;
    return view;
}

}  // namespace korvex
