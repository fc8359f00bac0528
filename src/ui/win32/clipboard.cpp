#include "ui/win32/clipboard.h"

#include "device/windows/wide_text.h"

#include <cstring>

namespace korvex::ui {

std::wstring crLfText(const std::string& text) {
    std::wstring wide;
    for (const wchar_t c : toWide(text)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    return wide;
}

bool putOnClipboard(HWND owner, const std::string& text) {
    const std::wstring wide = crLfText(text);
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 5 && !(open = OpenClipboard(owner) != FALSE); ++attempt) Sleep(10);
    if (!open) return false;
    EmptyClipboard();
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    bool placed = false;
    if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, wide.c_str(), bytes);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the clipboard owns it now
        }
        if (!placed) GlobalFree(memory);
    }
    CloseClipboard();
    return placed;
}

}  // namespace korvex::ui
