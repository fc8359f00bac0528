// Choosing one board by serial number (and, when boards share one, by its place among them),
// opening it and reading it back exactly as the window does.
#pragma once

#include "device/device_session.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "protocol/device_panel.h"

#include <optional>
#include <string>

namespace korvex::cli {

// One open board; closed when this goes.
class BoardConnection {
public:
    // Throws CommandError: an unknown serial or a missing --index is bad input, a board that
    // cannot be opened a device error. `index` counts from 1 among boards with that serial.
    BoardConnection(HidPlatform& platform, const std::string& serial, std::optional<int> index);
    BoardConnection(const BoardConnection&) = delete;
    BoardConnection& operator=(const BoardConnection&) = delete;
    ~BoardConnection();

    const std::string& serial() const { return serial_; }
    DeviceSession& session() { return session_; }

    // Details and settings, read as the window reads them. A board read whole becomes Loaded, so
    // the writes may go out; until then nothing can be written to it.
    const PanelView& read();
    // The settings, or a device error saying why the board cannot be set up.
    const BoardSettings& loadedSettings();

private:
    HidPlatform& platform_;
    std::string serial_;
    DeviceSession session_;
    std::optional<PanelView> view_;
};

}  // namespace korvex::cli
