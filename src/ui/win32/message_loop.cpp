#include "ui/win32/message_loop.h"

namespace korvex::ui {

void dispatchMessage(MSG& message) {
    // Only our top-level windows (marked as control parents) navigate as dialogs; an opened
    // list's own popup keeps its keys.
    const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && (GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && IsDialogMessageW(root, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int runMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatchMessage(message);
    return static_cast<int>(message.wParam);
}

}  // namespace korvex::ui
