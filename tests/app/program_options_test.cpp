// The windowed programs' command line: what opens the window, what prints and the exit codes a
// launcher or a script relies on.
#include "app/program_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvex::app {
namespace {

const ProgramInfo kInfo{"korvex-config", "1.2.3", "Configure boards."};

OptionsOutcome parse(std::vector<const char*> arguments) { return parseProgramOptions(arguments, kInfo); }

TEST(ProgramOptions, OnlyHelpAndVersionStopTheWindowWithSuccess) {
    EXPECT_TRUE(parse({}).openWindow);

    const OptionsOutcome version = parse({"--version"});
    EXPECT_FALSE(version.openWindow);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.text, "korvex-config 1.2.3\n");

    for (const char* help : {"--help", "-h"}) {
        const OptionsOutcome outcome = parse({help});
        EXPECT_FALSE(outcome.openWindow) << help;
        EXPECT_EQ(outcome.exitCode, 0) << help;
        EXPECT_TRUE(outcome.text.starts_with("Usage: korvex-config [--help | --version]\nConfigure boards.\n")) << help;
    }
    // Both asked: the first one answers.
    EXPECT_EQ(parse({"--version", "--help"}).text, version.text);
}

TEST(ProgramOptions, AnythingElseIsOneLineOnTheErrorPathWithCode2) {
    const std::vector<std::vector<const char*>> wrong = {
        {"--verbose"}, {"-v"}, {"--version=1"},       {"file.json"},
        {"--"},        {""},   {"--help", "--bogus"}, {"-platform", "xcb"}};
    for (const auto& arguments : wrong) {
        const OptionsOutcome outcome = parse(arguments);
        EXPECT_FALSE(outcome.openWindow) << arguments.front();
        EXPECT_EQ(outcome.exitCode, 2) << arguments.front();
        EXPECT_TRUE(outcome.text.starts_with("korvex-config: ")) << outcome.text;
        EXPECT_EQ(std::count(outcome.text.begin(), outcome.text.end(), '\n'), 1) << outcome.text;
    }
    EXPECT_EQ(parse({"--verbose"}).text, "korvex-config: unknown option '--verbose' (try --help)\n");
    EXPECT_EQ(parse({"file.json"}).text, "korvex-config: unexpected argument 'file.json' (try --help)\n");
}

}  // namespace
}  // namespace korvex::app
