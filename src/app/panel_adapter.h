// Shows a board's panel, read as data by the protocol, on the window's controls. The controls
// change in the window's fixed order: everything is cleared first, then the details, then the
// lists are filled and the values read back are selected. Each selection raises its click; the
// caller keeps the writes shut (the connection not Loaded) until this returns.
#pragma once

#include "app/form_controls.h"
#include "protocol/device_panel.h"

namespace korvex::app {

void showPanel(const PanelView& view, FormControls& controls);

// The check box state for a hide flag: a value the box has no state for shows greyed.
int hideFlagState(std::uint8_t flag);

}  // namespace korvex::app
