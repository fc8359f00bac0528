// The writes of the settings controls' clicks. Each sends only while its gates are open, so the
// clicks a scan or a panel refresh raises never reach the board.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "ui/form_controls.h"

namespace korvex {

enum class WriteOutcome {
    NotSent,  // a gate was shut: nothing went to the board
    Sent,     // every report was accepted
    Failed,   // at least one report was refused; the board may not hold what the window shows
};

// Commands 8 and then 9 with the modes of all eight lists; the second goes whatever the first did.
WriteOutcome WriteEncoderModes(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls);
// Command 10 with the pulse code (selection index + 1), never the length in milliseconds.
WriteOutcome WritePulseCode(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls);
// Command 1 with the check box's state, then the follow-up report with the same value.
WriteOutcome WriteHideFlag(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls);

}  // namespace korvex
