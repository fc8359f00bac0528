#include "ui/win32/message_loop.h"

namespace korvex::ui {

namespace {

// Our top-level windows are the ones marked as control parents.
bool isOurTopLevel(HWND window) { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0; }

// The top-level window a keyboard message belongs to: the root of its window, or, for a popup
// such as an opened list, the window that owns it.
HWND topLevelOf(HWND window) {
    HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    while (top && !isOurTopLevel(top)) top = GetWindow(top, GW_OWNER);
    return top;
}

// Alt+F4 is the system's close key, but a control may keep system keys to itself (wine's combo
// box does, once its list has been opened): it is taken here, before any control sees it. A
// repeat of a held key closes nothing more. An opened list closes with its window.
bool closesWindow(const MSG& message, HWND top) {
    constexpr LPARAM kRepeat = LPARAM{1} << 30;  // the key was already down
    return top && message.message == WM_SYSKEYDOWN && message.wParam == VK_F4 && (message.lParam & kRepeat) == 0;
}

}  // namespace

void dispatchMessage(MSG& message) {
    const HWND top = topLevelOf(message.hwnd);
    if (closesWindow(message, top)) {
        PostMessageW(top, WM_CLOSE, 0, 0);
        return;
    }
    // Only our top-level windows navigate as dialogs; an opened list's own popup keeps its keys.
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && isOurTopLevel(root) && IsDialogMessageW(root, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int runMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatchMessage(message);
    return static_cast<int>(message.wParam);
}

}  // namespace korvex::ui
