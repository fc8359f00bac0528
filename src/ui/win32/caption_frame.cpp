#include "ui/win32/caption_frame.h"

#include "ui/win32/win32_controls.h"

#include <algorithm>
#include <array>

namespace korvex::ui {

namespace {

constexpr wchar_t kFrameClass[] = L"KorvexCaptionFrame";
constexpr wchar_t kColorProperty[] = L"korvex.sysColor";
constexpr wchar_t kTextColorProperty[] = L"korvex.textColor";
constexpr wchar_t kFontProperty[] = L"korvex.font";
constexpr int kCaptionIndent = 6;   // caption starts this far in from the left edge, at 96 DPI
constexpr int kCaptionPadding = 2;  // gap between the border line and the caption text

void paintFrame(HWND frame) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(frame, &paint);
    RECT box;
    GetClientRect(frame, &box);
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));

    std::array<wchar_t, 128> caption{};
    const int length = GetWindowTextW(frame, caption.data(), static_cast<int>(caption.size()));
    const auto font = static_cast<HFONT>(GetPropW(frame, kFontProperty));
    const HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE text{};
    GetTextExtentPoint32W(dc, caption.data(), length, &text);

    box.top = text.cy / 2;
    DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);

    const int scale = static_cast<int>(GetDpiForWindow(frame));
    const int indent = MulDiv(kCaptionIndent, scale, 96);
    const int padding = MulDiv(kCaptionPadding, scale, 96);
    RECT label{indent, 0, indent + text.cx + 2 * padding, text.cy};
    FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(frame) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, caption.data(), length, &label, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(frame, &paint);
}

LRESULT CALLBACK frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: paintFrame(frame); return 0;
    case WM_ERASEBKGND: return 1;  // WM_PAINT fills everything
    case WM_SETFONT:
        SetPropW(frame, kFontProperty, reinterpret_cast<HANDLE>(wParam));
        if (LOWORD(lParam)) InvalidateRect(frame, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(GetPropW(frame, kFontProperty));
    case WM_ENABLE: InvalidateRect(frame, nullptr, TRUE); return 0;
    case WM_NCDESTROY: RemovePropW(frame, kFontProperty); break;
    default: break;
    }
    if (LRESULT answer = 0; answerControlMessage(message, wParam, lParam, answer)) return answer;
    return DefWindowProcW(frame, message, wParam, lParam);
}

}  // namespace

const wchar_t* captionFrameClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW type{};
        type.cbSize = sizeof(type);
        type.lpfnWndProc = frameProc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.lpszClassName = kFrameClass;
        return RegisterClassExW(&type);
    }();
    (void)atom;
    return kFrameClass;
}

void setStaticColor(HWND control, int sysColor) {
    // Stored plus one, so that colour 0 still reads as set.
    SetPropW(control, kColorProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(sysColor + 1)));
}

bool answerControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_COMMAND) {
        if (lParam) dispatchCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        result = 0;
        return true;
    }
    if (message == WM_CTLCOLORSTATIC) {
        const HBRUSH brush = staticColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
        result = reinterpret_cast<LRESULT>(brush);
        return brush != nullptr;
    }
    return false;
}

void setStaticTextColor(HWND control, int sysColor) {
    SetPropW(control, kTextColorProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(sysColor + 1)));
    InvalidateRect(control, nullptr, TRUE);
}

HBRUSH staticColor(HWND control, HDC dc) {
    const auto stored = reinterpret_cast<INT_PTR>(GetPropW(control, kColorProperty));
    if (stored == 0) return nullptr;
    const int sysColor = static_cast<int>(stored - 1);
    const auto text = reinterpret_cast<INT_PTR>(GetPropW(control, kTextColorProperty));
    SetBkColor(dc, GetSysColor(sysColor));
    SetTextColor(dc, GetSysColor(text != 0 ? static_cast<int>(text - 1) : COLOR_WINDOWTEXT));
    return GetSysColorBrush(sysColor);
}

}  // namespace korvex::ui
