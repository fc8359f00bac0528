#include "cli/korvexctl.h"

#include "app/udev_rule.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <functional>

namespace korvex::cli {

namespace {

constexpr const char* kIndexHelp = "Which of the boards that share SERIAL, from 1, in the order list shows them";

void addIndex(CLI::App* command, std::optional<int>& index, const char* name = "--index") {
    command->add_option(name, index, kIndexHelp)->check(CLI::PositiveNumber);
}

}  // namespace

int runKorvexctl(const std::vector<std::string>& arguments, CliContext& context) {
    CLI::App app(
        "Set up Korvex rotary encoder boards (5a17:0102) from the command line.\n"
        "Exit codes: 0 done, 1 the board or the system failed, 2 the request was wrong (nothing written).",
        "korvexctl");
    app.require_subcommand(1);
    app.set_version_flag("--version", "korvexctl " KORVEX_VERSION);

    std::function<int()> command;
    bool json = false;
    BoardChoice board, target;
    std::vector<std::string> assignments;
    std::string file;
    WatchLimits limits;
    bool printRule = false;

    auto* list = app.add_subcommand("list", "List every board: serial number, firmware, and whether it can be opened");
    list->add_flag("--json", json, "Print JSON for scripts");
    list->callback([&] { command = [&] { return listBoards(context, json); }; });

    auto* show = app.add_subcommand("show", "Show a board's encoder modes, pulse length and hide flag");
    show->add_option("SERIAL", board.serial, "The board's serial number; may be left out when one board is plugged in");
    addIndex(show, board.index);
    show->add_flag("--json", json, "Print JSON for scripts");
    show->callback([&] { command = [&] { return showBoard(context, board, json); }; });

    auto* set = app.add_subcommand("set", "Change settings: writes only what differs, then reads the board back");
    set->add_option("SERIAL", board.serial, "The board's serial number")->required();
    set->add_option(
           "SETTING", assignments,
           "PAIR=MODE (PAIR 1-2, 3-4 ... 15-16; MODE OFF, 1:1, 1:2, 1:4), pulse=MS (4, 8 ... 100) or hide=on|off")
        ->required();
    addIndex(set, board.index);
    set->footer(
        "Example: korvexctl set KX0001 5-6=1:2 pulse=12 hide=off\n"
        "Exit 1 names every value the board did not take.");
    set->callback([&] { command = [&] { return setBoard(context, board, assignments); }; });

    auto* save = app.add_subcommand("save", "Save a board's settings to a JSON file");
    save->add_option("SERIAL", board.serial, "The board's serial number")->required();
    save->add_option("FILE", file, "The file to write (replaced if it exists)")->required();
    addIndex(save, board.index);
    save->callback([&] { command = [&] { return saveBoard(context, board, file); }; });

    auto* load = app.add_subcommand("load", "Write the settings of a file that save made to a board");
    load->add_option("SERIAL", board.serial, "The board's serial number")->required();
    load->add_option("FILE", file, "A settings file; it is checked whole before anything is written")->required();
    addIndex(load, board.index);
    load->callback([&] { command = [&] { return loadBoard(context, board, file); }; });

    auto* copy = app.add_subcommand("copy", "Copy one board's settings to another");
    copy->add_option("FROM", board.serial, "Serial number of the board to copy from")->required();
    copy->add_option("TO", target.serial, "Serial number of the board to copy to")->required();
    addIndex(copy, board.index, "--from-index");
    addIndex(copy, target.index, "--to-index");
    copy->callback([&] { command = [&] { return copyBoard(context, board, target); }; });

    auto* watch = app.add_subcommand(
        "watch", "Show the buttons down and the encoders' steps, pulse lengths and glitches live, until Ctrl+C");
    watch->add_option("SERIAL", board.serial, "The board's serial number")->required();
    addIndex(watch, board.index);
    watch->add_option("--count", limits.reports, "Stop after N input reports");
    watch->add_option("--seconds", limits.seconds, "Stop after S seconds");
    watch->add_flag("--json", json, "Print one JSON object a line: a start line, one per event, an end line");
    watch->footer(
        "Buttons are found through the board's report descriptor; where the system gives none (Windows),\n"
        "in the board's own 2-byte input report. A glitch is both buttons of an encoder down at once, or\n"
        "a pulse under half the pulse length set.");
    watch->callback([&] { command = [&] { return watchBoard(context, board, limits, json); }; });

    auto* check = app.add_subcommand("doctor", "Tell why a board is not found or cannot be opened, and how to fix it");
    check->add_flag("--rule", printRule, "Print the udev rule that gives the user at the seat access to the boards");
    check->add_flag("--json", json,
                    "Print a report to attach to a question: versions, boards, the udev rule, the first board's "
                    "settings, the last errors; without user or home folder names");
    check->callback([&] {
        command = [&] {
            if (!printRule) return doctor(context, json);
            context.out << app::udevRuleText();
            return kExitOk;
        };
    });

    const auto known = [&app](const std::string& name) {
        try {
            return app.get_subcommand_ptr(name) != nullptr;
        } catch (const CLI::OptionNotFound&) {
            return false;
        }
    };
    if (!arguments.empty() && arguments.front().rfind('-', 0) != 0 && !known(arguments.front())) {
        context.err << "korvexctl: unknown command \"" << printable(arguments.front())
                    << "\" (korvexctl --help lists them)\n";
        return kExitBadInput;
    }
    std::vector<const char*> argv{"korvexctl"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error, context.out, context.err);  // --help, --version
        context.err << "korvexctl: " << printable(error.what()) << " (korvexctl --help)\n";
        return kExitBadInput;
    }
    try {
        stopIfAsked(context);
        return command();
    } catch (const CommandError& error) {
        // Messages carry serial numbers, file names and values from outside: one line, no escapes.
        context.err << "korvexctl: " << printable(error.what()) << "\n";
        // A call that a signal cut short fails; the signal is the cause, and the exit code says so.
        if (const int number = context.stopSignal(); number != 0 && error.exitCode() == kExitDeviceError) {
            context.err << "korvexctl: " << (number == SIGINT ? "interrupted" : "terminated") << "\n";
            return signalExitCode(number);
        }
        return error.exitCode();
    }
}

}  // namespace korvex::cli
