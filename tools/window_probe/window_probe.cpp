// korvex-window-probe: prints what the configurator's window shows, read from outside the
// process as any accessibility tool would, so that tests can check the real executable.
//
//   korvex-window-probe [--wait SECONDS] [--close]
//
// Finds the top-level window captioned "Korvex Rotary Encoders Configuration" (waiting up to
// SECONDS for it, 10 by default) and prints one line per control, ordered top to bottom and left
// to right, with its position in the window's client area in pixels:
//   combo 120,20 88x24 enabled=1 sel=1 items="KX0001|KX0002"
//   static 120,96 220x22 enabled=1 text=" 1.14"
// --close then asks the window to close, as its close button does. Exit status 0 when the window
// was found, 1 otherwise. Text is UTF-8.
#include "device/windows/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"Korvex Rotary Encoders Configuration";
constexpr int kMaxText = 512;  // longer texts are cut, never overrun

std::wstring windowText(HWND window) {
    wchar_t text[kMaxText] = {};
    const int length = GetWindowTextW(window, text, kMaxText);
    return std::wstring(text, static_cast<std::size_t>(std::clamp(length, 0, kMaxText - 1)));
}

std::wstring comboItem(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || length >= kMaxText) return L"?";
    wchar_t text[kMaxText] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    text[kMaxText - 1] = L'\0';
    return text;
}

struct Control {
    int x, y, width, height;
    std::string line;
};

struct Walk {
    HWND top;
    std::vector<Control> controls;
};

BOOL CALLBACK visit(HWND child, LPARAM context) {
    auto& walk = *reinterpret_cast<Walk*>(context);
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, walk.top, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    std::wstring kind = className;
    std::transform(kind.begin(), kind.end(), kind.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    // An open list's drop-down and a combo box's own edit are parts of the combo, not controls.
    if (kind == L"combolbox" || kind == L"edit") return TRUE;

    char head[160];
    std::snprintf(head, sizeof head, "%s %ld,%ld %ldx%ld enabled=%d", korvex::fromWide(kind).c_str(), rect.left,
                  rect.top, rect.right - rect.left, rect.bottom - rect.top, IsWindowEnabled(child) ? 1 : 0);
    std::string line = head;
    if (kind == L"combobox") {
        const LRESULT count = std::clamp<LRESULT>(SendMessageW(child, CB_GETCOUNT, 0, 0), 0, 1000);
        std::wstring items;
        for (int i = 0; i < count; ++i) items += (i ? L"|" : L"") + comboItem(child, i);
        line += " sel=" + std::to_string(SendMessageW(child, CB_GETCURSEL, 0, 0)) + " items=\"" +
                korvex::fromWide(items) + "\"";
    } else {
        line += " text=\"" + korvex::fromWide(windowText(child)) + "\"";
        if (kind == L"button") {
            const LRESULT style = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
            if (style != BS_GROUPBOX) line += " check=" + std::to_string(SendMessageW(child, BM_GETCHECK, 0, 0));
        }
    }
    walk.controls.push_back({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, line});
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    int waitSeconds = 10;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--wait" && i + 1 < argc) {
            waitSeconds = std::clamp(std::atoi(argv[++i]), 0, 600);
        } else if (argument == "--close") {
            close = true;
        } else {
            std::fprintf(stderr, "usage: korvex-window-probe [--wait SECONDS] [--close]\n");
            return 2;
        }
    }
    // The window exists a moment before it is shown; only a shown window counts.
    HWND top = nullptr;
    for (int tenths = 0; tenths <= waitSeconds * 10; ++tenths) {
        top = FindWindowW(nullptr, kTitle);
        if (top && IsWindowVisible(top)) break;
        top = nullptr;
        Sleep(100);
    }
    if (!top) {
        std::fprintf(stderr, "korvex-window-probe: no window captioned \"%s\" is shown\n",
                     korvex::fromWide(kTitle).c_str());
        return 1;
    }
    RECT client{};
    GetClientRect(top, &client);
    std::printf("window client=%ldx%ld visible=%d\n", client.right, client.bottom, IsWindowVisible(top) ? 1 : 0);
    Walk walk{top, {}};
    EnumChildWindows(top, visit, reinterpret_cast<LPARAM>(&walk));
    std::stable_sort(walk.controls.begin(), walk.controls.end(),
                     [](const Control& a, const Control& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    for (const Control& control : walk.controls) std::printf("%s\n", control.line.c_str());
    std::fflush(stdout);
    if (close) PostMessageW(top, WM_CLOSE, 0, 0);
    return 0;
}
