#include "demo/win32/board_panel.h"

#include "demo/demo_bus.h"
#include "demo/report_text.h"
#include "device/windows/wide_text.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <commctrl.h>

namespace korvex::demo {

namespace {

constexpr std::size_t kShownReports = 10;

// Edit controls break lines at CR LF only.
std::wstring editText(const std::string& text) {
    std::wstring out;
    for (wchar_t c : toWide(text)) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

// Sets a control's text only when it changed, so the refresh timer does not make it flicker.
void setText(HWND control, const std::wstring& text) {
    std::wstring now(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    now.resize(static_cast<std::size_t>(GetWindowTextW(control, now.data(), static_cast<int>(now.size()))));
    if (now != text) SetWindowTextW(control, text.c_str());
}

}  // namespace

BoardPanel::BoardPanel(SimulatedBus& bus, std::size_t device, HWND parent, int top, int (*scale)(HWND, int), HFONT font,
                       HFONT fixed)
    : bus_(bus), device_(device), parent_(parent), top_(top), scale_(scale), font_(font) {
    const SimDeviceInfo& info = bus.info(device);
    const std::string title = "Board " + std::to_string(device + 1) + ": serial " + serialText(info) + ", firmware " +
                              versionText(info.version);
    const HWND group = add(WC_BUTTONW, BS_GROUPBOX, 8, 0, kWidth, kHeight - 8, toWide(title));
    plug_ = add(WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 20, 22, 80, 24);
    silent_ = add(WC_BUTTONW, WS_TABSTOP | BS_AUTOCHECKBOX, 112, 22, 290, 24, L"Silent (sends no input reports)");
    add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 20, 55, 110, 18, toWide(kFaultLabel));
    // A drop-down list: its height includes the open list's.
    fault_ = add(WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 132, 52, 180, 120);
    for (const char* choice : kFaultChoices)
        SendMessageW(fault_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(choice).c_str()));
    // The turn row. A screen reader names each field by the label before it, as the list above.
    add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 20, 83, 72, 18, toWide(kTurnPairLabel));
    turnPair_ = add(WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 92, 80, 62, 180);
    for (int pair = 1; pair <= kPairCount; ++pair)
        SendMessageW(turnPair_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(pairName(pair)).c_str()));
    SendMessageW(turnPair_, CB_SETCURSEL, 0, 0);
    add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 164, 83, 36, 18, toWide(kTurnStepsLabel));
    turnSteps_ = addNumber(200, 80, 54, -kTurnMaxSteps, kTurnMaxSteps, kTurnDefaultSteps);
    add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 264, 83, 84, 18, toWide(kTurnRateLabel));
    turnRate_ = addNumber(348, 80, 48, 1, kTurnMaxRate, kTurnDefaultRate);
    turn_ = add(WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 404, 79, 56, 24, toWide(kTurnButton));
    status_ = add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 20, 108, 440, 18);
    settings_ = add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 20, 126, 440, 48);
    add(WC_STATICW, SS_LEFT | SS_NOPREFIX, 20, 176, 440, 18, L"Last feature reports (newest last):");
    reports_ = add(WC_EDITW, WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 20, 194, 440, 108);
    SendMessageW(reports_, WM_SETFONT, reinterpret_cast<WPARAM>(fixed), FALSE);
    // The group box is drawn under the controls it surrounds.
    SetWindowPos(group, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    refresh(false);
}

HWND BoardPanel::add(const wchar_t* type, DWORD style, int x, int y, int width, int height, const std::wstring& text) {
    const HWND control = CreateWindowExW(0, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, scale_(parent_, x),
                                         scale_(parent_, top_ + y), scale_(parent_, width), scale_(parent_, height),
                                         parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

HWND BoardPanel::addNumber(int x, int y, int width, int low, int high, int value) {
    const HWND field = add(WC_EDITW, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, x, y, width, 22);
    // Set at the field's right edge, inside it; its position is the field's number, which a
    // negative step count needs: ES_NUMBER would refuse the minus sign.
    const HWND arrows =
        add(UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0);
    SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field), 0);
    SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    SendMessageW(arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
    return arrows;
}

void BoardPanel::turn() {
    const LRESULT pair = SendMessageW(turnPair_, CB_GETCURSEL, 0, 0);
    BOOL badSteps = TRUE, badRate = TRUE;
    const auto steps = static_cast<int>(SendMessageW(turnSteps_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&badSteps)));
    const auto rate = static_cast<int>(SendMessageW(turnRate_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&badRate)));
    // A field whose text is no number in its range turns nothing: the arrows would report their
    // last position, not what the user sees.
    if (pair < 0 || badSteps || badRate || !turnEncoder(bus_, device_, static_cast<int>(pair) + 1, steps, rate))
        MessageBeep(MB_ICONWARNING);
}

void BoardPanel::addReport(const SimCall& call) {
    lastReports_.push_back(reportLine(call));
    if (lastReports_.size() > kShownReports) lastReports_.pop_front();
    reportsChanged_ = true;
}

void BoardPanel::refresh(bool open) {
    const BoardView view = boardView(bus_, device_);
    const bool plugged = view.plugged;
    setText(plug_, plugged ? L"Unplug" : L"Plug in");
    // An unplugged board would keep the turn and report it all at once when plugged in again.
    if ((IsWindowEnabled(turn_) != FALSE) != plugged) EnableWindow(turn_, plugged);
    setText(status_,
            std::wstring(plugged ? L"Plugged in" : L"Unplugged") + (open ? L", open in the configurator" : L""));
    setText(settings_, toWide(settingsText(view.firmware)));
    SendMessageW(silent_, BM_SETCHECK, view.silent ? BST_CHECKED : BST_UNCHECKED, 0);
    // Not while the user has the list open: the choice is theirs until they close it.
    const auto fault = static_cast<WPARAM>(view.firmware.fault());
    if (!SendMessageW(fault_, CB_GETDROPPEDSTATE, 0, 0) &&
        SendMessageW(fault_, CB_GETCURSEL, 0, 0) != static_cast<LRESULT>(fault))
        SendMessageW(fault_, CB_SETCURSEL, fault, 0);
    if (reportsChanged_) {
        reportsChanged_ = false;
        std::string lines;
        for (const std::string& line : lastReports_) lines += (lines.empty() ? "" : "\n") + line;
        setText(reports_, editText(lines));
        // The newest report in view.
        SendMessageW(reports_, EM_LINESCROLL, 0, static_cast<LPARAM>(kShownReports));
    }
}

bool BoardPanel::onCommand(HWND control, UINT code) {
    if (control == fault_) {
        const LRESULT chosen = SendMessageW(fault_, CB_GETCURSEL, 0, 0);
        if (code == CBN_SELCHANGE && chosen >= 0 && chosen < static_cast<LRESULT>(kFaultChoices.size()))
            bus_.setFault(device_, static_cast<FeatureFault>(chosen));
        return true;
    }
    if (control == turnPair_) return true;  // read when Turn is clicked
    if (code != BN_CLICKED) return control == plug_ || control == silent_ || control == turn_;
    if (control == turn_) {
        turn();
    } else if (control == plug_) {
        if (bus_.plugged(device_)) {
            bus_.unplug(device_);
        } else {
            bus_.replug(device_);
        }
    } else if (control == silent_) {
        bus_.setSilent(device_, SendMessageW(silent_, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else {
        return false;
    }
    return true;  // the next refresh shows the change
}

}  // namespace korvex::demo
