// Text on the clipboard as Windows programs expect it: UTF-16 with CR LF line ends.
#pragma once

#include <windows.h>

#include <string>

namespace korvex::ui {

// `text` in UTF-16, each LF led by a CR, as an edit control and the clipboard take lines.
std::wstring crLfText(const std::string& text);

// Puts UTF-8 `text` on the clipboard as CF_UNICODETEXT; false when nothing was placed.
bool putOnClipboard(HWND owner, const std::string& text);

}  // namespace korvex::ui
