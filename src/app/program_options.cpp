#include "app/program_options.h"

#include <cstdio>

namespace korvex::app {

OptionsOutcome parseProgramOptions(std::span<const char* const> arguments, const ProgramInfo& info) {
    OptionsOutcome outcome;
    for (const char* raw : arguments) {
        const std::string_view argument(raw);
        if (argument == "--help" || argument == "-h") {
            if (!outcome.openWindow) continue;  // the first request wins; later ones are still checked
            outcome.openWindow = false;
            outcome.text = "Usage: " + std::string(info.name) + " [--help | --version]\n" + std::string(info.summary) +
                           "\n\nOptions:\n"
                           "  -h, --help     print this help and exit\n"
                           "      --version  print the version and exit\n";
        } else if (argument == "--version") {
            if (!outcome.openWindow) continue;
            outcome.openWindow = false;
            outcome.text = std::string(info.name) + " " + std::string(info.version) + "\n";
        } else {
            // One line, and nothing else printed: a script or a launcher sees exactly the cause.
            const char* what = argument.starts_with('-') ? "unknown option" : "unexpected argument";
            return {false, 2, std::string(info.name) + ": " + what + " '" + std::string(argument) + "' (try --help)\n"};
        }
    }
    return outcome;
}

bool handleProgramOptions(int argc, const char* const* argv, const ProgramInfo& info, int& exitCode) {
    const auto count = static_cast<std::size_t>(argc > 1 ? argc - 1 : 0);
    const OptionsOutcome outcome = parseProgramOptions(std::span(argv + (argc > 0 ? 1 : 0), count), info);
    if (outcome.openWindow) return true;
    std::fputs(outcome.text.c_str(), outcome.exitCode == 0 ? stdout : stderr);
    exitCode = outcome.exitCode;
    return false;
}

}  // namespace korvex::app
