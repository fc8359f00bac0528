#include "demo/win32/simulation_window.h"

#include <commctrl.h>

#include <cstdio>

namespace korvex::demo {

namespace {

constexpr wchar_t kClass[] = L"KorvexSimulationWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 100;
constexpr int kWidth = BoardPanel::kWidth + 16, kIntroHeight = 56, kButtonHeight = 28;  // at 96 DPI

int scale(HWND window, int pixels) { return MulDiv(pixels, static_cast<int>(GetDpiForWindow(window)), 96); }

int panelTop(std::size_t index) { return kIntroHeight + static_cast<int>(index) * BoardPanel::kHeight; }

}  // namespace

SimulationWindow::SimulationWindow(SimulatedBus& bus) : bus_(bus), traffic_(bus) {
    static const ATOM atom = [] {
        WNDCLASSEXW type{};
        type.cbSize = sizeof(type);
        type.lpfnWndProc = &SimulationWindow::windowProc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        type.lpszClassName = kClass;
        return RegisterClassExW(&type);
    }();
    (void)atom;
    // The turn row's number fields take their arrows from the common controls.
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"Simulated boards", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0,
                              0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    const int dpi = static_cast<int>(GetDpiForWindow(window_));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi));
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    fixed_ =
        CreateFontW(-MulDiv(12, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");

    const HWND intro = CreateWindowExW(
        0, WC_STATICW,
        L"Boards on a simulated USB bus. Every change made in the configurator arrives here as feature reports. "
        L"The configurator lists the boards again only when its open board goes away: unplug it to bring in a "
        L"board added later.",
        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, scale(window_, 8), scale(window_, 8),
        scale(window_, kWidth - 16), scale(window_, kIntroHeight - 12), window_, nullptr, GetModuleHandleW(nullptr),
        nullptr);
    SendMessageW(intro, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    addOld_ = CreateWindowExW(0, WC_BUTTONW, L"Add a board with old firmware (0.13)",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(addOld_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (std::size_t device = 0; device < bus_.deviceCount(); ++device) addPanel(device);
    fitHeight();
    SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
}

SimulationWindow::~SimulationWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
    DeleteObject(font_);
    DeleteObject(fixed_);
}

void SimulationWindow::showAt(POINT topLeft) {
    SetWindowPos(window_, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

void SimulationWindow::addPanel(std::size_t device) {
    boards_.push_back(
        std::make_unique<BoardPanel>(bus_, device, window_, panelTop(boards_.size()), &scale, font_, fixed_));
}

void SimulationWindow::addOldBoard() {
    addPanel(demo::addOldFirmwareBoard(bus_, ++oldBoards_));
    fitHeight();
    update();
}

void SimulationWindow::fitHeight() {
    const int buttonTop = panelTop(boards_.size()) + 4;
    SetWindowPos(addOld_, nullptr, scale(window_, 8), scale(window_, buttonTop), scale(window_, 260),
                 scale(window_, kButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer{0, 0, scale(window_, kWidth), scale(window_, buttonTop + kButtonHeight + 10)};
    AdjustWindowRectExForDpi(&outer, kStyle, FALSE, WS_EX_CONTROLPARENT, GetDpiForWindow(window_));
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SimulationWindow::update() {
    traffic_.take([this](std::size_t device, const SimCall& call) {
        if (device < boards_.size()) boards_[device]->addReport(call);
    });
    for (std::size_t device = 0; device < boards_.size(); ++device) boards_[device]->refresh(traffic_.open(device));
}

LRESULT CALLBACK SimulationWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<SimulationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->window_) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT SimulationWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kRefreshTimer) update();
        return 0;
    case WM_COMMAND: {
        const auto control = reinterpret_cast<HWND>(lParam);
        if (control == addOld_ && HIWORD(wParam) == BN_CLICKED) {
            addOldBoard();
            return 0;
        }
        for (const auto& board : boards_)
            if (board->onCommand(control, HIWORD(wParam))) return 0;
        return 0;
    }
    case WM_CLOSE:
        // The configurator's window ends the demo; this one only steps aside.
        ShowWindow(window_, SW_MINIMIZE);
        return 0;
    case WM_NCDESTROY: SetWindowLongPtrW(window_, GWLP_USERDATA, 0); break;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace korvex::demo
