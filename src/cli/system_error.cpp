#include "cli/command_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

namespace korvex::cli {

std::string systemErrorText(int error) {
#ifdef _WIN32
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
#else
    return std::strerror(error);
#endif
}

}  // namespace korvex::cli
