// What the window shows for the board that is open now, read from the board as data: its details,
// whether it can be set up, and its settings. Each front end applies it to its own controls.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "protocol/settings.h"

#include <optional>
#include <string>

namespace korvex {

inline constexpr const char* kFirmwareWarning = " - upgrade firmware!";

// "1.14" for 0x0114: major in decimal, ".", minor in upper-case hexadecimal.
std::string versionText(std::uint16_t versionNumber);
// The window's caption for it, which like every caption of a board's value begins with a blank.
std::string versionCaption(std::uint16_t versionNumber);

enum class PanelState {
    Cleared,      // no board open: details and settings empty
    Refused,      // firmware older than 0.14: details shown, version with the warning, no settings
    Unsupported,  // feature reports too short or too long to carry a command: details only
    Faulted,      // a read-back request failed: details only, never a value that was not read
    Loaded,       // details and the settings read back
};

struct PanelView {
    PanelState state = PanelState::Cleared;
    // Captions as shown, each beginning with one blank; empty when the string was not read.
    std::string manufacturer;
    std::string product;
    std::string version;     // the firmware warning appended when Refused
    BoardSettings settings;  // the values read back, when Loaded
};

// The connection once a panel has been read from a board opened as `opened`: Loaded when its
// settings were read back, Faulted when a read-back request failed, as it was otherwise. The
// window and korvexctl take the same view of a board from it.
Connection panelConnection(PanelState state, Connection opened);

// The four select-then-read exchanges, for commands 8, 9, 10 and 1 in that order; nothing as soon
// as one request fails, so no value is ever guessed.
std::optional<BoardSettings> readSettings(HidPlatform& platform, DeviceSession& session);

// Reads the open board's details and, when its firmware and report lengths allow, its settings.
// Makes no platform call when no board is open; never sends a write report.
PanelView readPanel(HidPlatform& platform, DeviceSession& session);

}  // namespace korvex
