// The system's words for an error number, for every report a user reads.
#pragma once

#include <string>

namespace korvex::app {

// The system's text for an error number (errno on Linux, GetLastError on Windows), in UTF-8.
std::string systemErrorText(int error);

}  // namespace korvex::app
