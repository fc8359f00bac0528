// What "About" says, in both windows: the program's name and version, its licence, and the
// licence of the font the Qt window carries.
#pragma once

#include <string>

namespace korvex::app {

inline constexpr const char* kProgramTitle = "Korvex Rotary Encoders Configuration";

// The box's title and its text, lines separated by "\n". `carriesFont`: the window draws with the
// Liberation Sans it carries (the Qt window; the Win32 window uses the system's fonts).
struct AboutText {
    std::string title;
    std::string text;
};
AboutText aboutText(bool carriesFont);

}  // namespace korvex::app
