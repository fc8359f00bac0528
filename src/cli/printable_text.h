// Text that comes from a board, a file or the system is printed through here: its control
// characters are written as escapes, so a board cannot move the cursor or retitle the user's
// terminal with the bytes of its serial number.
#pragma once

#include <string>
#include <string_view>

namespace korvex::cli {

// C0 controls and DEL as \n, \r, \t or \x1b; C1 controls (U+0080 ... U+009F, which some
// terminals obey) as \u009b; a byte that is not part of valid UTF-8 as \xff. Everything else,
// backslashes included, is kept as it is, so Windows paths stay readable.
std::string printable(std::string_view text);

}  // namespace korvex::cli
