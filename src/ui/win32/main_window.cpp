#include "ui/win32/main_window.h"

#include "app/control_texts.h"
#include "device/windows/wide_text.h"
#include "ui/win32/caption_frame.h"
#include "ui/win32/resource_ids.h"

#include <commctrl.h>

namespace korvex::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"KorvexMainWindow";
constexpr wchar_t kTitle[] = L"Korvex Rotary Encoders Configuration";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kTimerId = 1;
constexpr int kClientWidth = 4455, kClientHeight = 5775;  // twips
constexpr int kFontTenthPoints = 975;                     // Arial 9.75 pt
constexpr int kDropDownHeight = 160;                      // an opened list's extra height at 96 DPI, about eight items

enum class Kind { Frame, Label, ValueLabel, List, CheckBox, Line };

struct Twips {
    int left, top, width, height;
};

// One control: its container (nullptr for the client area), kind, text and rectangle in twips.
// Within a container the table's order is the z-order from the top: lists and the check box
// lie above the line and the labels they overlap, and Tab visits them in that order.
struct Placement {
    const char* name;
    const char* container;
    Kind kind;
    const char* text;
    Twips rect;
    bool enabled;
};

constexpr Placement kLayout[] = {
    {"Frame3", nullptr, Kind::Frame, "Rotary encoder type for button pairs:", {120, 2040, 4215, 3135}, false},
    {"Frame1", nullptr, Kind::Frame, "Device details", {120, 0, 4215, 1935}, false},
    {"NoJoy", nullptr, Kind::CheckBox, "Hide Korvex from gaming devices list ", {360, 5280, 3975, 375}, false},

    {"ModeCh1", "Frame3", Kind::List, "", {240, 2520, 1260, 360}, false},
    {"Enc1", "Frame3", Kind::List, "", {240, 480, 900, 360}, false},
    {"Enc2", "Frame3", Kind::List, "", {240, 960, 900, 360}, false},
    {"Enc3", "Frame3", Kind::List, "", {240, 1440, 900, 360}, false},
    {"Enc4", "Frame3", Kind::List, "", {240, 1920, 900, 360}, false},
    {"Enc5", "Frame3", Kind::List, "", {2400, 480, 900, 360}, false},
    {"Enc6", "Frame3", Kind::List, "", {2400, 960, 900, 360}, false},
    {"Enc7", "Frame3", Kind::List, "", {2400, 1440, 900, 360}, false},
    {"Enc8", "Frame3", Kind::List, "", {2400, 1920, 900, 360}, false},
    {"Line1", "Frame3", Kind::Line, "", {120, 2280, 4440 - 120, 15}, true},
    {"Label6", "Frame3", Kind::Label, "1-2", {1260, 540, 1095, 375}, false},
    {"Label7", "Frame3", Kind::Label, "3-4", {1260, 1020, 1095, 375}, false},
    {"Label8", "Frame3", Kind::Label, "5-6", {1260, 1500, 1095, 375}, false},
    {"Label9", "Frame3", Kind::Label, "7-8", {1260, 1980, 1095, 375}, false},
    {"Label10", "Frame3", Kind::Label, "9-10", {3420, 555, 615, 375}, false},
    {"Label11", "Frame3", Kind::Label, "11-12", {3420, 1035, 615, 375}, false},
    {"Label12", "Frame3", Kind::Label, "13-14", {3420, 1515, 735, 375}, false},
    {"Label13", "Frame3", Kind::Label, "15-16", {3420, 1995, 615, 375}, false},
    {"Label1", "Frame3", Kind::Label, "Encoders pulse length", {1560, 2580, 2055, 375}, false},

    // The value boxes run past the frame's right edge; the frame cuts them off.
    {"SerNo", "Frame1", Kind::List, "", {1680, 300, 1320, 360}, false},
    {"Label3", "Frame1", Kind::Label, "Serial Number", {240, 360, 1815, 285}, true},
    {"lblSerialNumber", "Frame1", Kind::ValueLabel, "", {1680, 360, 3300, 330}, true},
    {"Label4", "Frame1", Kind::Label, "Manufacturer", {240, 720, 1215, 285}, true},
    {"lblManuf", "Frame1", Kind::ValueLabel, "", {1680, 720, 3300, 330}, true},
    {"Label5", "Frame1", Kind::Label, "Product", {240, 1080, 1215, 285}, true},
    {"lblProduct", "Frame1", Kind::ValueLabel, "", {1680, 1080, 3300, 330}, true},
    {"Label2", "Frame1", Kind::Label, "Version", {240, 1440, 1455, 285}, true},
    {"lblVersion", "Frame1", Kind::ValueLabel, "", {1680, 1440, 3300, 330}, true},
};

// Twips to pixels at a DPI; edges are scaled, not sizes, so neighbours stay aligned.
int scaled(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

RECT pixels(const Twips& rect, UINT dpi) {
    return {scaled(rect.left, dpi), scaled(rect.top, dpi), scaled(rect.left + rect.width, dpi),
            scaled(rect.top + rect.height, dpi)};
}

const wchar_t* windowClass() {
    static const ATOM atom = [] {
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&classes);
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW type{};
        type.cbSize = sizeof(type);
        type.lpfnWndProc = DefWindowProcW;  // replaced per window, with its object, in the constructor
        type.hInstance = instance;
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        type.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KORVEX_ICON), IMAGE_ICON, 32, 32, 0));
        type.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KORVEX_ICON), IMAGE_ICON, 16, 16, 0));
        type.lpszClassName = kWindowClass;
        return RegisterClassExW(&type);
    }();
    (void)atom;
    return kWindowClass;
}

HWND createControl(const Placement& p, HWND parent) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (p.enabled ? 0 : WS_DISABLED);
    const std::wstring text = toWide(p.text);
    const wchar_t* type = WC_STATICW;
    DWORD style = common | SS_LEFT | SS_NOPREFIX;
    DWORD exStyle = 0;
    switch (p.kind) {
    case Kind::Frame:
        type = captionFrameClass();
        style = common | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;  // Tab and the arrows walk into it while it is enabled
        break;
    case Kind::List:
        type = WC_COMBOBOXW;
        style = common | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case Kind::CheckBox:
        type = WC_BUTTONW;
        style = common | WS_TABSTOP | BS_3STATE;
        break;
    case Kind::ValueLabel: style |= SS_LEFTNOWORDWRAP; break;
    case Kind::Label:
    case Kind::Line: break;
    }
    const HWND control = CreateWindowExW(exStyle, type, text.c_str(), style, 0, 0, 0, 0, parent, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    if (p.kind == Kind::ValueLabel) setStaticColor(control, COLOR_WINDOW);
    if (p.kind == Kind::Line) setStaticColor(control, COLOR_ACTIVEBORDER);
    return control;
}

// Makes the selection field exactly `height` high; Windows sizes it from the font otherwise. The
// field grows one for one with the item height, but what CB_GETITEMHEIGHT reports may differ from
// what CB_SETITEMHEIGHT took (it does under wine), so the second step corrects by measurement.
void fitListHeight(HWND combo, int height) {
    auto measured = [combo] {
        RECT rect;
        GetWindowRect(combo, &rect);
        return static_cast<int>(rect.bottom - rect.top);
    };
    const LRESULT item = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (item == CB_ERR) return;
    int asked = static_cast<int>(item);
    for (int step = 0; step < 2 && measured() != height; ++step) {
        asked += height - measured();
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), asked);
    }
}

}  // namespace

MainWindow::MainWindow() {
    window_ = CreateWindowExW(kExStyle, windowClass(), kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::windowProc));
    build();
    addTooltips();
    applyDpi(GetDpiForWindow(window_), nullptr);
}

MainWindow::~MainWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
    if (font_) DeleteObject(font_);
}

HWND MainWindow::control(std::string_view name) const {
    const auto found = named_.find(name);
    return found == named_.end() ? nullptr : found->second;
}

void MainWindow::build() {
    for (const Placement& p : kLayout) {
        const HWND parent = p.container ? control(p.container) : window_;
        named_.emplace(p.name, createControl(p, parent));
    }
    // Stack each container's controls in the table's order.
    HWND above = HWND_TOP;
    const char* container = "";
    for (const Placement& p : kLayout) {
        const char* own = p.container ? p.container : "";
        if (std::string_view(own) != container) above = HWND_TOP;
        container = own;
        const HWND control = this->control(p.name);
        SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
    }

    auto list = [this](const char* name) { return store_.make<Win32List>(control(name)); };
    auto label = [this](const char* name) { return store_.make<Win32Label>(control(name)); };
    controls_.Frame1 = store_.make<Win32Frame>(control("Frame1"));
    controls_.Frame3 = store_.make<Win32Frame>(control("Frame3"));
    controls_.SerNo = list("SerNo");
    controls_.ModeCh1 = list("ModeCh1");
    controls_.lblSerialNumber = label("lblSerialNumber");
    controls_.lblManuf = label("lblManuf");
    controls_.lblProduct = label("lblProduct");
    controls_.lblVersion = label("lblVersion");
    controls_.Label1 = label("Label1");
    controls_.NoJoy = store_.make<Win32CheckBox>(control("NoJoy"));
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        controls_.Enc[k] = list(("Enc" + std::to_string(k + 1)).c_str());
        controls_.pairLabel[k] = label(("Label" + std::to_string(k + 6)).c_str());
    }
    timer_ = std::make_unique<Win32Timer>(window_, kTimerId, kTimerStartInterval);
    controls_.Timer = timer_.get();
    controls_.showWindow = [this] {
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
    };
}

void MainWindow::addTooltips() {
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 400);  // the longer texts break into lines
    auto add = [this](const char* name, const texts::ControlText& text) {
        std::wstring tip = toWide(text.tip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control(name));
        tool.lpszText = tip.data();  // the tooltip keeps its own copy
        SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    for (std::size_t k = 0; k < kEncoderCount; ++k) add(("Enc" + std::to_string(k + 1)).c_str(), texts::kEncoder[k]);
    add("ModeCh1", texts::kPulse);
    add("SerNo", texts::kSerial);
    add("NoJoy", texts::kHide);
}

void MainWindow::applyDpi(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    const HFONT old = font_;
    font_ = CreateFontW(-MulDiv(kFontTenthPoints, static_cast<int>(dpi), 720 * 10), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"Arial");
    for (const Placement& p : kLayout) {
        const HWND control = this->control(p.name);
        const RECT r = pixels(p.rect, dpi);
        const int height = static_cast<int>(r.bottom - r.top);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        // A drop-down list's window height includes its opened list.
        const int extra = p.kind == Kind::List ? MulDiv(kDropDownHeight, static_cast<int>(dpi), 96) : 0;
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, height + extra, SWP_NOZORDER | SWP_NOACTIVATE);
        if (p.kind == Kind::List) fitListHeight(control, height);
    }
    if (old) DeleteObject(old);

    RECT outer{0, 0, scaled(kClientWidth, dpi), scaled(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&outer, kStyle, FALSE, kExStyle, dpi);
    RECT now;
    GetWindowRect(window_, &now);
    const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
    SetWindowPos(window_, nullptr, at.x, at.y, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame actually drawn may not follow the DPI (it does not under wine): size by the client.
    RECT client;
    GetClientRect(window_, &client);
    const int wider = scaled(kClientWidth, dpi) - client.right, taller = scaled(kClientHeight, dpi) - client.bottom;
    if (wider != 0 || taller != 0) {
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + wider, outer.bottom - outer.top + taller,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::focusFirstControl() {
    // The control that had the focus gets it back, unless a disabled frame now holds it.
    if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_) && IsWindowEnabled(GetParent(lastFocus_))) {
        SetFocus(lastFocus_);
    } else if (const HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) {
        SetFocus(first);
    }
}

namespace {
// Posted by wake(): results from a device worker wait for the window's thread.
constexpr UINT kWakeMessage = WM_APP + 1;
}  // namespace

void MainWindow::wake() const { PostMessageW(window_, kWakeMessage, 0, 0); }

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam) dispatchCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = staticColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_TIMER:
        if (wParam == timer_->id() && timer_->enabled()) timer_->raiseTick();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            lastFocus_ = focus && IsChild(window_, focus) ? focus : nullptr;
        }
        break;
    case WM_SETFOCUS: focusFirstControl(); return 0;
    case WM_DPICHANGED: applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE:
        // The unload is never cancelled.
        if (!unloaded_) {
            unloaded_ = true;
            if (unload_) unload_();
        }
        DestroyWindow(window_);
        return 0;
    case kWakeMessage:
        if (wake_) wake_();
        return 0;
    case WM_NCDESTROY: SetWindowLongPtrW(window_, GWLP_USERDATA, 0); break;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace korvex::ui
