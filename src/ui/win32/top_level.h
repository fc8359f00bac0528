// What every top-level window of this program shares: a window class with the program's icon and
// the dialog colour, twips scaled to pixels at the window's DPI, its font at that DPI, and a client
// area of the size its table gives.
#pragma once

#include "app/main_form.h"

#include <windows.h>

namespace korvex::ui {

// Registers a top-level window class once; each window sets its own procedure, with its object.
void registerTopLevelClass(const wchar_t* name);

// Twips to pixels at a DPI; edges are scaled, not sizes, so neighbours stay aligned.
int scaled(int twips, UINT dpi);
RECT pixels(const app::Twips& rect, UINT dpi);

// Arial at 9.75 pt for this DPI; the caller deletes it once no control uses it.
HFONT createWindowFont(UINT dpi);

// Sizes `window` so that its client area is `client` at `dpi`, with its top-left corner at `at`,
// or where it is when `at` is null.
void fitClientArea(HWND window, const app::Twips& client, UINT dpi, const POINT* at);

// A top-level window that is no dialog keeps no focus of its own: this gives the control that had
// it back when the window is active again, or else the first control Tab reaches.
class FocusMemory {
public:
    // On WM_ACTIVATE: the control of `window` with the focus, as the window goes inactive.
    void activated(HWND window, WPARAM wParam);
    // On WM_SETFOCUS: back to that control, unless it or the frame holding it is disabled now.
    void restore(HWND window) const;

private:
    HWND control_ = nullptr;
};

}  // namespace korvex::ui
