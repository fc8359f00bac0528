#include "app/system_error.h"

#ifdef _WIN32
#include <windows.h>

#include "device/windows/wide_text.h"
#else
#include <cstring>
#endif

namespace korvex::app {

std::string systemErrorText(int error) {
#ifdef _WIN32
    // The wide text, converted: the narrow one is in the system's code page, not UTF-8, on a
    // Windows in most languages other than English.
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error), 0, text, sizeof text / sizeof text[0], nullptr);
    std::string message = fromWide(std::wstring_view(text, length < 512 ? length : 0));
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
#else
    return std::strerror(error);
#endif
}

}  // namespace korvex::app
