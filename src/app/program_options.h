// The options the windowed programs take: --help and --version, nothing else. Kept free of any
// toolkit so that the Qt programs decide before a QApplication (and a display) exists.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace korvex::app {

struct ProgramInfo {
    std::string_view name;     // "korvex-config"
    std::string_view version;  // the project's version
    std::string_view summary;  // one sentence for --help
};

struct OptionsOutcome {
    bool openWindow = true;  // no option: the program runs as it always did
    int exitCode = 0;        // otherwise: print `text` and exit with this code
    std::string text;        // ends with a newline; for stdout when exitCode is 0, else stderr
};

// `arguments` excludes the program name.
OptionsOutcome parseProgramOptions(std::span<const char* const> arguments, const ProgramInfo& info);

// Applies the outcome: prints its text where it belongs. Returns true when the window should open.
bool handleProgramOptions(int argc, const char* const* argv, const ProgramInfo& info, int& exitCode);

}  // namespace korvex::app
