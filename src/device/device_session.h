// The connection to one board: which board is open, what it is, and how far the configurator has
// got with it. Each board the window opens has one, used only by that board's worker; the command
// line keeps one per command.
#pragma once

#include "device/hid_platform.h"

#include <array>
#include <cstdint>
#include <string>

namespace korvex {

// Every get-feature response lands here; a request never asks for more than this.
inline constexpr std::size_t kFeatureResponseBytes = 66;

enum class Connection {
    Closed,   // no board open
    Open,     // a board is open; its settings are not (or not yet) shown
    Loaded,   // every settings control holds the value read from the open board: writes may go out
    Faulted,  // a request to the open board failed after it was opened, so what is shown may not
              // be what it holds: it is read back again, first by reopening the same board
};

struct DeviceSession {
    HidHandle deviceHandle = kInvalidHandle;  // open exactly while the connection is not Closed
    std::string devicePath;                   // path of the interface examined last
    HidAttributes attributes;                 // of the interface examined last, or the open board
    HidCaps capabilities;                     // of the open board
    std::array<std::uint8_t, kFeatureResponseBytes> featureResponse{};

    Connection connection = Connection::Closed;

    bool boardOpen() const { return connection != Connection::Closed; }
    bool settingsLoaded() const { return connection == Connection::Loaded; }
};

}  // namespace korvex
