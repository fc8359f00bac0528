#include "ui/win32/top_level.h"

#include "ui/win32/resource_ids.h"

#include <commctrl.h>

namespace korvex::ui {

namespace {
constexpr int kFontTenthPoints = 975;  // Arial 9.75 pt
}  // namespace

void registerTopLevelClass(const wchar_t* name) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW type{};
    type.cbSize = sizeof(type);
    if (GetClassInfoExW(instance, name, &type)) return;
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&classes);
    type.lpfnWndProc = DefWindowProcW;  // replaced per window, with its object
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    type.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KORVEX_ICON), IMAGE_ICON, 32, 32, 0));
    type.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KORVEX_ICON), IMAGE_ICON, 16, 16, 0));
    type.lpszClassName = name;
    RegisterClassExW(&type);
}

int scaled(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

RECT pixels(const app::Twips& rect, UINT dpi) {
    return {scaled(rect.left, dpi), scaled(rect.top, dpi), scaled(rect.left + rect.width, dpi),
            scaled(rect.top + rect.height, dpi)};
}

HFONT createWindowFont(UINT dpi) {
    return CreateFontW(-MulDiv(kFontTenthPoints, static_cast<int>(dpi), 720 * 10), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Arial");
}

void fitClientArea(HWND window, const app::Twips& client, UINT dpi, const POINT* at) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    RECT outer{0, 0, scaled(client.width, dpi), scaled(client.height, dpi)};
    AdjustWindowRectExForDpi(&outer, style, FALSE, exStyle, dpi);
    RECT now;
    GetWindowRect(window, &now);
    const POINT corner = at ? *at : POINT{now.left, now.top};
    SetWindowPos(window, nullptr, corner.x, corner.y, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame actually drawn may not follow the DPI (it does not under wine): size by the client.
    RECT inner;
    GetClientRect(window, &inner);
    const int wider = scaled(client.width, dpi) - inner.right, taller = scaled(client.height, dpi) - inner.bottom;
    if (wider != 0 || taller != 0) {
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + wider, outer.bottom - outer.top + taller,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
}

void FocusMemory::activated(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) return;
    const HWND focus = GetFocus();
    control_ = focus && IsChild(window, focus) ? focus : nullptr;
}

void FocusMemory::restore(HWND window) const {
    if (control_ && IsWindow(control_) && IsWindowEnabled(control_) && IsWindowEnabled(GetParent(control_))) {
        SetFocus(control_);
    } else if (const HWND first = GetNextDlgTabItem(window, nullptr, FALSE)) {
        SetFocus(first);
    }
}

}  // namespace korvex::ui
