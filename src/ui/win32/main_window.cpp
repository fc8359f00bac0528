#include "ui/win32/main_window.h"

#include "app/about_text.h"
#include "app/control_texts.h"
#include "app/main_form.h"
#include "app/window_menu.h"
#include "device/windows/wide_text.h"
#include "ui/win32/caption_frame.h"
#include "ui/win32/clipboard.h"
#include "ui/win32/input_test_window.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/top_level.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace korvex::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"KorvexMainWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kTimerId = 1;
constexpr int kDropDownHeight = 160;  // an opened list's extra height at 96 DPI, about eight items

using app::ControlKind;
using app::ControlRow;

// Our system menu entries: below 0xF000, where the system's own commands begin, and multiples of 16,
// since the system keeps the low four bits of a WM_SYSCOMMAND to itself.
constexpr UINT kMenuIdStep = 0x10;
UINT menuId(app::MenuCommand command) { return (static_cast<UINT>(command) + 1) * kMenuIdStep; }

// Posted by the diagnostics' worker once the report waits to go on the clipboard.
constexpr UINT kDiagnosticsMessage = WM_APP + 2;

// Creates the control of a row, hidden at 0, 0 until applyDpi() places it; nullptr for the timer.
HWND createControl(const ControlRow& row, HWND parent) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (row.enabled ? 0 : WS_DISABLED);
    const wchar_t* type = WC_STATICW;
    DWORD style = common | SS_LEFT | SS_NOPREFIX;
    DWORD exStyle = 0;
    switch (row.kind) {
    case ControlKind::Frame:
        type = captionFrameClass();
        style = common | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;  // Tab and the arrows walk into it while it is enabled
        break;
    case ControlKind::List:
        type = WC_COMBOBOXW;
        style = common | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    case ControlKind::CheckBox:
        type = WC_BUTTONW;
        style = common | WS_TABSTOP | BS_3STATE;
        break;
    case ControlKind::ValueBox: style |= SS_LEFTNOWORDWRAP; break;
    case ControlKind::Label:
    case ControlKind::Line: break;
    case ControlKind::Timer: return nullptr;
    }
    const std::wstring text = toWide(row.caption);
    const HWND control = CreateWindowExW(exStyle, type, text.c_str(), style, 0, 0, 0, 0, parent, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    if (row.kind == ControlKind::ValueBox) setStaticColor(control, COLOR_WINDOW);
    if (row.kind == ControlKind::Line) setStaticColor(control, COLOR_ACTIVEBORDER);
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
    registerTopLevelClass(kWindowClass);
    window_ = CreateWindowExW(kExStyle, kWindowClass, toWide(app::mainForm().title).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::windowProc));
    build();
    addTooltips();
    nameControls();
    addMenuEntries();
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
    const app::FormTable& form = app::mainForm();
    for (const ControlRow& row : form.controls) {
        if (const HWND made = createControl(row, row.container.empty() ? window_ : control(row.container)))
            named_.emplace(row.name, made);
    }
    // Tab and the arrow keys follow the z-order: each container stacks its controls by where Tab
    // first reaches them (a frame by its first control), the others below them in the table's order.
    std::vector<const ControlRow*> stack;
    for (const ControlRow& row : form.controls)
        if (control(row.name)) stack.push_back(&row);
    std::stable_sort(stack.begin(), stack.end(), [&form](const ControlRow* a, const ControlRow* b) {
        return a->container != b->container ? a->container < b->container
                                            : form.firstTabPosition(*a) < form.firstTabPosition(*b);
    });
    HWND above = HWND_TOP;
    for (std::size_t k = 0; k < stack.size(); ++k) {
        if (k > 0 && stack[k]->container != stack[k - 1]->container) above = HWND_TOP;
        const HWND next = control(stack[k]->name);
        SetWindowPos(next, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = next;
    }

    // The value boxes that explain the empty serial-number list, by the line each shows.
    std::array<Win32Label*, 3> details{};
    Win32List* serialList = nullptr;
    for (const ControlRow& row : form.controls) {
        const HWND made = control(row.name);
        switch (row.kind) {
        case ControlKind::Frame: app::bind(controls_, row, store_.make<Win32Frame>(made)); break;
        case ControlKind::Label:
        case ControlKind::ValueBox:
            if (row.role != app::Role::None) {
                auto* label = store_.make<Win32Label>(made);
                app::bind(controls_, row, label);
                if (row.detailsLine >= 0) details.at(static_cast<std::size_t>(row.detailsLine)) = label;
            }
            break;
        case ControlKind::List: {
            auto* list = store_.make<Win32List>(made);
            app::bind(controls_, row, list);
            if (row.role == app::Role::SerialList) {
                serialList = list;
                // The empty list's tooltip explains why it is empty and what to do.
                list->onExplain([this, &row](const std::string& tip) { setTooltip(row, tip); });
            }
            break;
        }
        case ControlKind::CheckBox: app::bind(controls_, row, store_.make<Win32CheckBox>(made)); break;
        case ControlKind::Line: break;
        case ControlKind::Timer:
            timer_ = std::make_unique<Win32Timer>(window_, kTimerId, form.timerInterval);
            app::bind(controls_, row, timer_.get());
            break;
        }
    }
    // While the serial-number list is empty, the details boxes beside it say why and what to do.
    serialList->onEmptyText([details](const std::string& listText) {
        const app::texts::DetailLines* lines = app::texts::emptyListDetails(listText);
        for (std::size_t k = 0; k < details.size(); ++k)
            if (details[k]) details[k]->setHint(lines ? (*lines)[k] : "");
    });
    controls_.showWindow = [this] {
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
    };
}

// One tooltip window for the controls that explain themselves. A static control lets the mouse
// through to its parent, so a tooltip shows only on the lists and the check box.
void MainWindow::addTooltips() {
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 400);  // the longer texts break into lines
    for (const ControlRow& row : app::mainForm().controls) {
        if (!row.tooltip || (row.kind != ControlKind::List && row.kind != ControlKind::CheckBox)) continue;
        std::wstring tip = toWide(row.description);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control(row.name));
        tool.lpszText = tip.data();  // the tooltip keeps its own copy
        SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::setTooltip(const ControlRow& row, const std::string& text) {
    std::wstring tip = toWide(text.empty() ? row.description : text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control(row.name));
    tool.lpszText = tip.data();
    SendMessageW(tooltips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::nameControls() {
    for (const ControlRow& row : app::mainForm().controls) {
        const HWND made = control(row.name);
        AccessibleText text{toWide(row.accessibleName), 0, toWide(row.description), false};
        switch (row.kind) {
        case ControlKind::Frame: text.role = ROLE_SYSTEM_GROUPING; break;
        case ControlKind::List: text.role = ROLE_SYSTEM_COMBOBOX; break;
        case ControlKind::CheckBox: text.role = ROLE_SYSTEM_CHECKBUTTON; break;
        case ControlKind::Label: text.role = ROLE_SYSTEM_STATICTEXT; break;  // named by its own text
        case ControlKind::ValueBox:
            text.role = ROLE_SYSTEM_STATICTEXT;
            text.valueIsText = true;  // named for its field; what it shows is its value
            break;
        case ControlKind::Line: text.role = ROLE_SYSTEM_SEPARATOR; break;
        case ControlKind::Timer: continue;
        }
        makeAccessible(made, std::move(text));
    }
}

void MainWindow::applyDpi(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    const HFONT old = font_;
    font_ = createWindowFont(dpi);
    for (const ControlRow& row : app::mainForm().controls) {
        const HWND control = this->control(row.name);
        if (!control) continue;
        const RECT r = pixels(row.rect, dpi);
        const int height = static_cast<int>(r.bottom - r.top);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        // A drop-down list's window height includes its opened list.
        const int extra = row.kind == ControlKind::List ? MulDiv(kDropDownHeight, static_cast<int>(dpi), 96) : 0;
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, height + extra, SWP_NOZORDER | SWP_NOACTIVATE);
        if (row.kind == ControlKind::List) fitListHeight(control, height);
    }
    if (old) DeleteObject(old);

    const POINT at{suggested ? suggested->left : 0, suggested ? suggested->top : 0};
    fitClientArea(window_, app::mainForm().client, dpi, suggested ? &at : nullptr);
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::addMenuEntries() {
    const HMENU menu = GetSystemMenu(window_, FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const app::MenuEntry& entry : app::kWindowMenu)
        AppendMenuW(menu, MF_STRING, menuId(entry.command), toWide(entry.text).c_str());
    enableMenuEntry(menuId(app::MenuCommand::TestInputs), false);
    enableMenuEntry(menuId(app::MenuCommand::CopyDiagnostics), false);
}

void MainWindow::enableMenuEntry(UINT id, bool enabled) {
    EnableMenuItem(GetSystemMenu(window_, FALSE), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::showInputTest(app::Configurator& configurator) {
    if (inputTest()) {
        inputTest_->bringToFront();
        return;
    }
    // One test reads a configurator's board at a time: a closed window's goes before the next.
    inputTest_.reset();
    RECT beside;
    GetWindowRect(window_, &beside);
    const POINT at{beside.right + MulDiv(8, static_cast<int>(dpi_), 96), beside.top};
    inputTest_ = std::make_unique<InputTestWindow>(configurator, at);
}

void MainWindow::closeInputTest() { inputTest_.reset(); }

void MainWindow::setOpenInputTest(std::function<void()> open) {
    openInputTest_ = std::move(open);
    enableMenuEntry(menuId(app::MenuCommand::TestInputs), static_cast<bool>(openInputTest_));
}

void MainWindow::setDiagnostics(std::function<std::string()> gather) {
    diagnostics_.reset();
    if (gather) {
        const HWND window = window_;
        diagnostics_ = std::make_unique<app::DiagnosticsCopy>(
            std::move(gather), [window] { PostMessageW(window, kDiagnosticsMessage, 0, 0); });
    }
    enableMenuEntry(menuId(app::MenuCommand::CopyDiagnostics), static_cast<bool>(diagnostics_));
}

bool MainWindow::runMenuEntry(UINT id) {
    for (const app::MenuEntry& entry : app::kWindowMenu) {
        if (menuId(entry.command) != id) continue;
        switch (entry.command) {
        case app::MenuCommand::TestInputs:
            if (openInputTest_) openInputTest_();
            break;
        case app::MenuCommand::CopyDiagnostics: copyDiagnostics(); break;
        case app::MenuCommand::About: showAbout(); break;
        }
        return true;
    }
    return false;
}

void MainWindow::copyDiagnostics() {
    if (diagnostics_) diagnostics_->request();
}

void MainWindow::showAbout() {
    const app::AboutText about = app::aboutText(false);  // this window draws with the system's fonts
    const std::wstring title = toWide(about.title), text = toWide(about.text);
    MSGBOXPARAMSW box{};
    box.cbSize = sizeof(box);
    box.hwndOwner = window_;
    box.hInstance = GetModuleHandleW(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = title.c_str();
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEW(KORVEX_ICON);
    MessageBoxIndirectW(&box);
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
    if (LRESULT answer = 0; answerControlMessage(message, wParam, lParam, answer)) return answer;
    switch (message) {
    case WM_TIMER:
        if (wParam == timer_->id() && timer_->enabled()) timer_->raiseTick();
        return 0;
    case WM_ACTIVATE: focus_.activated(window_, wParam); break;
    case WM_SETFOCUS: focus_.restore(window_); return 0;
    case WM_DPICHANGED: applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE:
        // The test window reads through the logic the unload stops: it goes first.
        closeInputTest();
        // The unload is never cancelled.
        if (!unloaded_) {
            unloaded_ = true;
            if (unload_) unload_();
        }
        // A gathering still waiting on a board is given up, as the configurator's own workers are.
        diagnostics_.reset();
        DestroyWindow(window_);
        return 0;
    case kWakeMessage:
        if (wake_) wake_();
        return 0;
    case kDiagnosticsMessage:
        if (const auto text = diagnostics_ ? diagnostics_->take() : std::nullopt;
            text && !putOnClipboard(window_, *text))
            MessageBeep(MB_ICONWARNING);  // nothing was copied
        return 0;
    case WM_SYSCOMMAND:
        if (runMenuEntry(static_cast<UINT>(wParam & 0xFFF0))) return 0;
        break;
    case WM_NCDESTROY: SetWindowLongPtrW(window_, GWLP_USERDATA, 0); break;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace korvex::ui
