// The message loop every window of this program shares: keys go through IsDialogMessage first,
// so Tab, the arrows and Space move and act as in a dialog, and Alt+F4 closes the window whatever
// control holds the focus.
#pragma once

#include <windows.h>

namespace korvex::ui {

// Dispatches one message taken from the queue.
void dispatchMessage(MSG& message);
// Runs until WM_QUIT; returns its exit code.
int runMessageLoop();

}  // namespace korvex::ui
