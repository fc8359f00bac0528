// korvex-window-probe: prints what the configurator's window shows, read from outside the
// process as any accessibility tool would, so that tests can check the real executable.
//
//   korvex-window-probe [--wait SECONDS] [--accessible] [--close]
//
// Finds the top-level window captioned "Korvex Rotary Encoders Configuration" (waiting up to
// SECONDS for it, 10 by default) and prints one line per control, ordered top to bottom and left
// to right, with its position in the window's client area in pixels:
//   combo 120,20 88x24 enabled=1 sel=1 items="KX0001|KX0002"
//   static 120,96 220x22 enabled=1 text=" 1.14"
// --accessible adds what a screen reader hears of each control, read through MSAA
// (AccessibleObjectFromWindow): its role as a number and its name, as in
//   combo 24,168 60x24 enabled=1 sel=0 items="OFF|1:1|1:2|1:4" role=46 name="Encoder mode, buttons 1-2"
// --close then asks the window to close, as its close button does. Exit status 0 when the window
// was found, 1 otherwise. Text is UTF-8.
#include "device/windows/wide_text.h"

#include <windows.h>

#include <oleacc.h>

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

// Spelled out: with mingw-w64, IID_IAccessible from liboleacc.a is an import thunk, not the GUID.
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// " role=N name=..." for the control's client object; the failing call's result where one fails.
std::string accessibleText(HWND control) {
    IAccessible* object = nullptr;
    HRESULT result = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                                reinterpret_cast<void**>(&object));
    char failed[64];
    if (FAILED(result) || !object) {
        std::snprintf(failed, sizeof failed, " accessible=0x%08lx", static_cast<unsigned long>(result));
        return failed;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    BSTR name = nullptr;
    std::string line;
    result = object->get_accRole(self, &role);
    if (SUCCEEDED(result) && role.vt == VT_I4) line += " role=" + std::to_string(role.lVal);
    VariantClear(&role);
    result = object->get_accName(self, &name);
    if (SUCCEEDED(result) && name) line += " name=\"" + korvex::fromWide(std::wstring(name, SysStringLen(name))) + "\"";
    else if (FAILED(result)) {
        std::snprintf(failed, sizeof failed, " name=0x%08lx", static_cast<unsigned long>(result));
        line += failed;
    }
    SysFreeString(name);
    object->Release();
    return line;
}

struct Control {
    int x, y, width, height;
    std::string line;
};

struct Walk {
    HWND top;
    bool accessible;
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
    if (walk.accessible) line += accessibleText(child);
    walk.controls.push_back({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, line});
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    int waitSeconds = 10;
    bool close = false;
    bool accessible = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--wait" && i + 1 < argc) {
            waitSeconds = std::clamp(std::atoi(argv[++i]), 0, 600);
        } else if (argument == "--accessible") {
            accessible = true;
        } else if (argument == "--close") {
            close = true;
        } else {
            std::fprintf(stderr, "usage: korvex-window-probe [--wait SECONDS] [--accessible] [--close]\n");
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
    // Screen readers' objects come as COM objects from the window's process.
    if (accessible) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Walk walk{top, accessible, {}};
    EnumChildWindows(top, visit, reinterpret_cast<LPARAM>(&walk));
    std::stable_sort(walk.controls.begin(), walk.controls.end(),
                     [](const Control& a, const Control& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    for (const Control& control : walk.controls) std::printf("%s\n", control.line.c_str());
    std::fflush(stdout);
    if (close) PostMessageW(top, WM_CLOSE, 0, 0);
    if (accessible) CoUninitialize();
    return 0;
}
