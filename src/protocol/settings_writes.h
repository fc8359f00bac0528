// The writes that carry the user's choices to the board. Each sends only while the connection is
// Loaded (the settings shown were read from the open board), so the selections a scan or a panel
// refresh makes never reach the board.
#pragma once

#include "device/board_commands.h"
#include "device/device_session.h"
#include "device/hid_platform.h"

#include <array>

namespace korvex {

enum class WriteOutcome {
    NotSent,  // a gate was shut, or a value out of range: nothing went to the board
    Sent,     // every report was accepted
    Failed,   // at least one report was refused; the board may not hold what the window shows
};

// Commands 8 and then 9 with the modes of all eight pairs (codes 0 ... 3, pair 1 first); the
// second goes whatever the first did. Also held back while the serial-number list is rebuilt.
WriteOutcome writeEncoderModes(HidPlatform& platform, DeviceSession& session, const std::array<int, kPairCount>& codes);
// Command 10 with the pulse code 1 ... 25, never the length in milliseconds.
WriteOutcome writePulseCode(HidPlatform& platform, DeviceSession& session, int pulseCode);
// Command 1 with the hide state (0 shown, 1 hidden, 2 as a greyed box reports it), then the
// follow-up report with the same value.
WriteOutcome writeHideFlag(HidPlatform& platform, DeviceSession& session, int state);

}  // namespace korvex
