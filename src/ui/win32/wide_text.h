// The core's texts are UTF-8; the window's W APIs take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace korvex::ui {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);

}  // namespace korvex::ui
