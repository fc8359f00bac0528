#include "ui/win32/win32_controls.h"

#include "device/windows/wide_text.h"
#include "ui/win32/caption_frame.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace korvex::ui {

namespace {

constexpr wchar_t kTargetProperty[] = L"korvex.commandTarget";
constexpr UINT_PTR kListSubclass = 1;
// Longer texts are cut here; no item or caption of this window comes near it.
constexpr int kMaxText = 1024;

void attachTarget(HWND control, CommandTarget* target) {
    SetPropW(control, kTargetProperty, static_cast<HANDLE>(target));
}

void detachTarget(HWND control) {
    if (IsWindow(control)) RemovePropW(control, kTargetProperty);
}

std::string windowText(HWND window) {
    const int length = std::min(GetWindowTextLengthW(window), kMaxText);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return fromWide(text);
}

// True when a container around the control is disabled: the control then takes no input.
bool insideDisabledContainer(HWND control) {
    for (HWND parent = GetParent(control); parent; parent = GetParent(parent)) {
        if (!IsWindowEnabled(parent)) return true;
        if (!(GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD)) break;
    }
    return false;
}

bool isUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

LRESULT CALLBACK listProc(HWND combo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (isUserInput(message) && insideDisabledContainer(combo)) return 0;
    // Windows' own lists take the wheel only with the focus; scrolling across the window must
    // never change a setting.
    if ((message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) && GetFocus() != combo) return 0;
    return DefSubclassProc(combo, message, wParam, lParam);
}

}  // namespace

void dispatchCommand(HWND control, UINT code) {
    if (auto* target = static_cast<CommandTarget*>(GetPropW(control, kTargetProperty))) target->onCommand(code);
}

Win32Label::Win32Label(HWND label) : label_(label), caption_(windowText(label)) {}

void Win32Label::applyCaption(const std::string& caption) {
    caption_ = caption;
    show();
}

void Win32Label::setHint(const std::string& hint) {
    hint_ = hint;
    show();
}

void Win32Label::show() {
    // A caption always wins: a board's own strings never share the box with a hint.
    const bool hinting = caption_.empty() && !hint_.empty();
    setStaticTextColor(label_, hinting ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
    SetWindowTextW(label_, toWide(hinting ? hint_ : caption_).c_str());
}

void Win32Frame::applyEnabled(bool enabled) {
    if (!enabled) {
        // An open list closes, and the focus leaves the frame: keys go to the focused control
        // whatever its container's state.
        for (HWND child = GetWindow(frame_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[16] = {};
            GetClassNameW(child, kind, static_cast<int>(std::size(kind)));
            if (lstrcmpiW(kind, WC_COMBOBOXW) == 0) SendMessageW(child, CB_SHOWDROPDOWN, FALSE, 0);
        }
    }
    EnableWindow(frame_, enabled);
    const HWND focus = GetFocus();
    if (!enabled && focus && IsChild(frame_, focus)) {
        const HWND top = GetAncestor(frame_, GA_ROOT);
        const HWND next = GetNextDlgTabItem(top, focus, FALSE);
        SetFocus(next && !IsChild(frame_, next) ? next : top);
    }
    InvalidateRect(frame_, nullptr, TRUE);  // the caption's colour follows the state
}

Win32List::Win32List(HWND combo) : combo_(combo) {
    attachTarget(combo_, this);
    SetWindowSubclass(combo_, listProc, kListSubclass, 0);
}

Win32List::~Win32List() {
    if (IsWindow(combo_)) RemoveWindowSubclass(combo_, listProc, kListSubclass);
    detachTarget(combo_);
}

int Win32List::listIndex() const { return static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0)); }

int Win32List::listCount() const { return static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0)); }

std::string Win32List::itemText(int index) const {
    const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length > kMaxText) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (copied == CB_ERR) return {};
    text.resize(static_cast<std::size_t>(copied));
    return fromWide(text);
}

void Win32List::onCommand(UINT code) {
    // The new selection is already in place when the notification arrives.
    if (code == CBN_SELCHANGE) raiseClick();
}

void Win32List::applyClear() {
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    tellEmptyText();
}

void Win32List::applyAddItem(const std::string& text, int index) {
    const int at = index >= 0 && index < listCount() ? index : -1;  // -1 appends
    SendMessageW(combo_, CB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(toWide(text).c_str()));
    tellEmptyText();
}

void Win32List::tellEmptyText() {
    if (emptyText_) emptyText_(listCount() == 0 ? placeholder_ : std::string());
}

void Win32List::applyListIndex(int index) { SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void Win32List::applyPlaceholder(const std::string& text, const std::string& tooltip) {
    if (explain_) explain_(tooltip);
    // The combo box's cue banner (common controls 6): shown while no item is selected.
    SendMessageW(combo_, CB_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(toWide(text).c_str()));
    placeholder_ = text;
    tellEmptyText();
}

Win32CheckBox::Win32CheckBox(HWND box) : box_(box) { attachTarget(box_, this); }

Win32CheckBox::~Win32CheckBox() { detachTarget(box_); }

int Win32CheckBox::value() const {
    switch (SendMessageW(box_, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return 1;
    case BST_INDETERMINATE: return 2;
    default: return 0;
    }
}

void Win32CheckBox::onCommand(UINT code) {
    if (code != BN_CLICKED) return;
    // A BS_3STATE button leaves its state to its owner.
    applyValue(value() == 1 ? 0 : 1);
    raiseClick();
}

void Win32CheckBox::applyValue(int value) {
    const WPARAM state = value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    SendMessageW(box_, BM_SETCHECK, state, 0);
}

void Win32Timer::setEnabled(bool enabled) {
    // Enabling a running timer keeps its phase; only a stopped one starts counting anew.
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled) {
        SetTimer(owner_, id_, static_cast<UINT>(interval_), nullptr);
    } else {
        KillTimer(owner_, id_);
    }
}

void Win32Timer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    if (enabled_) SetTimer(owner_, id_, static_cast<UINT>(interval_), nullptr);  // replaces the running one
}

}  // namespace korvex::ui
