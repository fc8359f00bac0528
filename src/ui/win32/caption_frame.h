// A frame as a real container window: it draws an etched group box with its caption on the top
// border, greyed while the window is disabled, and passes its controls' notifications on to the
// top-level window. Disabling it keeps the mouse and Tab from its controls (Windows routes no
// input through a disabled parent) while they keep their own state and look.
#pragma once

#include <windows.h>

namespace korvex::ui {

// Registers the frame's window class once; the class name for CreateWindowExW.
const wchar_t* captionFrameClass();

// Colours a static control in a system colour (COLOR_WINDOW, COLOR_ACTIVEBORDER ...) instead
// of the dialog colour; its parent applies it in WM_CTLCOLORSTATIC.
void setStaticColor(HWND control, int sysColor);
// The colour of such a control's text; COLOR_WINDOWTEXT unless set.
void setStaticTextColor(HWND control, int sysColor);
// The WM_CTLCOLORSTATIC answer for a control marked by setStaticColor, or nullptr.
HBRUSH staticColor(HWND control, HDC dc);

// What a control tells its parent, answered alike by the window and by a frame that holds
// controls: its command (a list's choice, a click) and the colours of a marked static control.
// True, with the answer in `result`, when the message was one of those.
bool answerControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace korvex::ui
