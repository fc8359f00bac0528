// Texts travel through the program as UTF-8; Windows' wide-character functions take UTF-16.
// Every Windows part converts here: the HID access, the window, the command line.
#pragma once

#include <string>
#include <string_view>

namespace korvex {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);

}  // namespace korvex
