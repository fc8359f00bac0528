#include "ui/win32/input_test_window.h"

#include "device/windows/wide_text.h"
#include "ui/win32/caption_frame.h"
#include "ui/win32/clipboard.h"
#include "ui/win32/top_level.h"

#include <commctrl.h>
#include <oleacc.h>

#include <utility>

namespace korvex::ui {

namespace {

using app::TestPart;
using app::TestRow;

constexpr wchar_t kWindowClass[] = L"KorvexInputTestWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// A control parent: the shared message loop then moves through it with Tab as through a dialog.
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kFadeTimer = 1;
constexpr UINT kFadeInterval = 50;  // ms; well inside the time an arrow stays lit
// Not IDOK or IDCANCEL, which the dialog keys send.
constexpr UINT_PTR kResetId = 0x100, kCopyId = 0x101;
constexpr UINT_PTR kLogSubclass = 3;

// The log is read-only: Tab, Enter and Escape are the window's, to move on and to close, where a
// multi-line edit would keep them all.
LRESULT CALLBACK logProc(HWND log, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE)
        return DefSubclassProc(log, message, wParam, lParam) & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(log, logProc, kLogSubclass);
    return DefSubclassProc(log, message, wParam, lParam);
}

HWND createPart(const TestRow& row, HWND parent) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    const wchar_t* type = WC_STATICW;
    DWORD style = common | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    DWORD exStyle = 0;
    UINT_PTR id = 0;
    switch (row.part) {
    case TestPart::PairGroup:
        type = WC_BUTTONW;
        style = common | BS_GROUPBOX;
        break;
    case TestPart::Lamp:
    case TestPart::ForwardArrow:
    case TestPart::BackArrow: style = common | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN; break;
    case TestPart::ResetButton:
    case TestPart::CopyButton:
        type = WC_BUTTONW;
        style = common | WS_TABSTOP | BS_PUSHBUTTON;
        id = row.part == TestPart::ResetButton ? kResetId : kCopyId;
        break;
    case TestPart::Log:
        type = WC_EDITW;
        style = common | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TestPart::Status:
    case TestPart::Count:
    case TestPart::Pulses:
    case TestPart::Glitches: break;
    }
    const HWND control = CreateWindowExW(exStyle, type, toWide(row.caption).c_str(), style, 0, 0, 0, 0, parent,
                                         reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
    if (row.part == TestPart::Log) {
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // the log is ours, whatever its length
        SetWindowSubclass(control, logProc, kLogSubclass, 0);
        setStaticColor(control, COLOR_WINDOW);  // a read-only edit asks for the static colours
    }
    return control;
}

// The role each part has for a screen reader; its name follows what it shows.
AccessibleText accessibleText(const TestRow& row) {
    AccessibleText text{toWide(row.accessibleName), ROLE_SYSTEM_STATICTEXT, L"", false};
    switch (row.part) {
    case TestPart::PairGroup: text.role = ROLE_SYSTEM_GROUPING; break;
    case TestPart::Lamp:
    case TestPart::ForwardArrow:
    case TestPart::BackArrow: text.role = ROLE_SYSTEM_INDICATOR; break;
    case TestPart::Count:
    case TestPart::Pulses:
    case TestPart::Glitches: text.valueIsText = true; break;  // named for its field; its text is its value
    case TestPart::ResetButton:
    case TestPart::CopyButton: text.role = ROLE_SYSTEM_PUSHBUTTON; break;
    case TestPart::Log: text.role = ROLE_SYSTEM_TEXT; break;
    case TestPart::Status: break;
    }
    return text;
}

}  // namespace

InputTestWindow::InputTestWindow(app::Configurator& configurator, POINT at) {
    registerTopLevelClass(kWindowClass);
    window_ = CreateWindowExW(kExStyle, kWindowClass, L"", kStyle, at.x, at.y, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&InputTestWindow::windowProc));
    build();
    applyDpi(GetDpiForWindow(window_), &at);
    test_ = std::make_unique<app::InputTest>(configurator, [this] { refresh(); });
    refresh();
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
}

// The test stops reading before the controls it shows go.
InputTestWindow::~InputTestWindow() {
    test_.reset();
    if (IsWindow(window_)) DestroyWindow(window_);
    if (font_) DeleteObject(font_);
}

HWND InputTestWindow::control(std::string_view name) const {
    for (const Part& part : parts_)
        if (part.row->name == name) return part.control;
    return nullptr;
}

void InputTestWindow::bringToFront() {
    if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
    SetForegroundWindow(window_);
}

void InputTestWindow::build() {
    for (const TestRow& row : app::inputTestForm().rows) {
        const HWND made = createPart(row, window_);
        parts_.push_back({&row, made, toWide(row.caption)});
        makeAccessible(made, accessibleText(row));
        if (row.part == TestPart::ResetButton) reset_ = made;
        if (row.part == TestPart::CopyButton) copy_ = made;
        if (row.part == TestPart::Log) log_ = made;
    }
    // Groups are made first and would lie over what they hold otherwise; Tab follows the others'
    // order, which is the table's: Reset, Copy log, the log.
    for (const Part& part : parts_)
        if (part.row->part == TestPart::PairGroup)
            SetWindowPos(part.control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void InputTestWindow::applyDpi(UINT dpi, const POINT* at) {
    const HFONT old = font_;
    font_ = createWindowFont(dpi);
    for (const Part& part : parts_) {
        const RECT r = pixels(part.row->rect, dpi);
        SendMessageW(part.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        SetWindowPos(part.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (old) DeleteObject(old);
    fitClientArea(window_, app::inputTestForm().client, dpi, at);
    InvalidateRect(window_, nullptr, TRUE);
}

void InputTestWindow::showText(Part& part, std::wstring text) {
    if (part.text == text) return;
    part.text = std::move(text);
    SetWindowTextW(part.control, part.text.c_str());
}

void InputTestWindow::showLog(Part& part, std::wstring text) {
    if (part.text == text) return;
    part.text = std::move(text);
    SetWindowTextW(part.control, part.text.c_str());
    // The newest event is the last line: it is kept in view.
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(part.control));
    SendMessageW(part.control, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(part.control, EM_SCROLLCARET, 0, 0);
}

void InputTestWindow::refresh() {
    if (!test_) return;  // while the test is being made, and once the window is closed
    const auto now = InputClock::now();
    const app::InputTestShown shown = test_->shown(now);
    if (std::wstring title = toWide(shown.title); title != title_) {
        title_ = std::move(title);
        SetWindowTextW(window_, title_.c_str());
    }
    for (Part& part : parts_) {
        const TestRow& row = *part.row;
        renameAccessible(part.control, toWide(app::accessibleNameOf(row, shown)));
        switch (row.part) {
        case TestPart::Lamp:
        case TestPart::ForwardArrow:
        case TestPart::BackArrow: {
            const int lit = app::litOf(row, shown) ? 1 : 0;
            if (lit != part.lit) {
                part.lit = lit;
                setStaticColor(part.control, lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
                setStaticTextColor(part.control, lit ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
            }
            // An arrow means nothing for a pair of plain buttons.
            if (row.part != TestPart::Lamp) {
                const bool encoder = shown.pairs[static_cast<std::size_t>(row.pair - 1)].encoder;
                if ((IsWindowVisible(part.control) != FALSE) != encoder)
                    ShowWindow(part.control, encoder ? SW_SHOWNA : SW_HIDE);
            }
            break;
        }
        case TestPart::ResetButton:
        case TestPart::CopyButton:
            if ((IsWindowEnabled(part.control) != FALSE) != shown.board) {
                // A button that goes grey with the focus would leave the keyboard nowhere.
                if (!shown.board && GetFocus() == part.control) SetFocus(log_);
                EnableWindow(part.control, shown.board);
            }
            break;
        case TestPart::Log: showLog(part, crLfText(app::textOf(row, shown))); break;
        case TestPart::PairGroup:
        case TestPart::Status:
        case TestPart::Count:
        case TestPart::Pulses:
        case TestPart::Glitches: showText(part, toWide(app::textOf(row, shown))); break;
        }
    }
    const bool lit = test_->arrowsLit(now);
    if (lit && !fading_) SetTimer(window_, kFadeTimer, kFadeInterval, nullptr);
    if (!lit && fading_) KillTimer(window_, kFadeTimer);
    fading_ = lit;
}

void InputTestWindow::copyLog() {
    if (!test_ || !putOnClipboard(window_, test_->shown().log)) MessageBeep(MB_ICONWARNING);  // nothing was copied
}

void InputTestWindow::close() {
    // The board's worker stops reading for the test at once; the controls go after.
    test_.reset();
    if (fading_) KillTimer(window_, kFadeTimer);
    fading_ = false;
    DestroyWindow(window_);
}

LRESULT CALLBACK InputTestWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<InputTestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT InputTestWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const auto from = reinterpret_cast<HWND>(lParam);
        if (from == reset_ && HIWORD(wParam) == BN_CLICKED && test_) test_->reset();
        if (from == copy_ && HIWORD(wParam) == BN_CLICKED) copyLog();
        // Escape, as the shared message loop's dialog keys send it.
        if (!from && LOWORD(wParam) == IDCANCEL) PostMessageW(window_, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (const HBRUSH brush = staticColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_TIMER:
        if (wParam == kFadeTimer) refresh();
        return 0;
    case WM_ACTIVATE: focus_.activated(window_, wParam); break;
    case WM_SETFOCUS: focus_.restore(window_); return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        const POINT at{suggested->left, suggested->top};
        applyDpi(HIWORD(wParam), &at);
        return 0;
    }
    case WM_CLOSE: close(); return 0;
    case WM_NCDESTROY:
        test_.reset();
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        break;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace korvex::ui
