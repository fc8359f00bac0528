// korvexctl's command line: parses the arguments and runs one command.
#pragma once

#include "cli/cli_context.h"

#include <string>
#include <vector>

namespace korvex::cli {

// `arguments` without the program name. Returns the exit code: 0 done, 1 the board or the system
// failed, 2 the request was wrong (nothing was written). Every error is one line on context.err.
int runKorvexctl(const std::vector<std::string>& arguments, CliContext& context);

}  // namespace korvex::cli
