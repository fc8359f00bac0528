// set, save, load and copy. Every write goes through applySettings: only what differs from what
// the board holds is written, with the window's reports, and the board is read back afterwards.
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/file_replace.h"
#include "cli/printable_text.h"
#include "cli/settings_file.h"
#include "cli/settings_text.h"
#include "protocol/command_reports.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"
#include "protocol/settings_writes.h"

#include <filesystem>
#include <functional>

namespace korvex::cli {

namespace {

std::string modeText(int code) { return kEncoderModeTexts[static_cast<std::size_t>(code)]; }

std::string pulseValue(const BoardSettings& s) {
    return pulseKnown(s) ? pulseText(s.pulseCode) : "code " + std::to_string(s.pulseCode);
}
std::string hideValue(const BoardSettings& s) {
    return s.hideFlag == 0 ? "off" : s.hideFlag == 1 ? "on" : std::to_string(s.hideFlag);
}

// Each value of `wanted` that `held` differs in, as "5-6 is 1:1, not 1:2".
std::vector<std::string> differences(const BoardSettings& wanted, const BoardSettings& held) {
    std::vector<std::string> found;
    const auto want = modeCodes(wanted), have = modeCodes(held);
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const auto k = static_cast<std::size_t>(pair - 1);
        if (want[k] != have[k])
            found.push_back(pairName(pair) + " is " + modeText(have[k]) + ", not " + modeText(want[k]));
    }
    if (wanted.pulseCode != held.pulseCode)
        found.push_back("pulse is " + pulseValue(held) + ", not " + pulseValue(wanted));
    if (wanted.hideFlag != held.hideFlag) found.push_back("hide is " + hideValue(held) + ", not " + hideValue(wanted));
    return found;
}

// What changes, for the user: "5-6 1:2, pulse 12 ms".
std::string changeList(const BoardSettings& from, const BoardSettings& to) {
    std::string text;
    const auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    const auto before = modeCodes(from), after = modeCodes(to);
    for (int pair = 1; pair <= kPairCount; ++pair)
        if (before[static_cast<std::size_t>(pair - 1)] != after[static_cast<std::size_t>(pair - 1)])
            add(pairName(pair) + " " + modeText(after[static_cast<std::size_t>(pair - 1)]));
    if (from.pulseCode != to.pulseCode) add("pulse " + pulseValue(to));
    if (from.hideFlag != to.hideFlag) add("hide " + hideValue(to));
    return text;
}

// One value to write: what it is, for the user, and the write that carries it.
struct ValueWrite {
    std::string what;  // "the pulse length (12 ms)"
    std::function<WriteOutcome()> send;
};

// Writes what differs, reads the board back and reports every value it did not take (exit 1).
// After a failure each value is named as written, refused or not sent, and a board that cannot
// be read back is said to hold what nobody knows: a failed write is never reported as written.
int applySettings(CliContext& context, BoardConnection& board, const BoardSettings& wanted) {
    const BoardSettings current = board.loadedSettings();
    // Only values with a name go out: the writes refuse anything else, and so do we, before sending.
    if (!pulseKnown(wanted) || !hideKnown(wanted)) badInput("the settings hold a pulse or hide value without a name");
    if (wanted == current) {
        context.out << printable(board.serial()) << ": already set, nothing written\n";
        return kExitOk;
    }
    stopIfAsked(context);
    HidPlatform& platform = context.platform;
    DeviceSession& session = board.session();
    std::vector<ValueWrite> writes;
    if (wanted.modesLow != current.modesLow || wanted.modesHigh != current.modesHigh) {
        BoardSettings modesOnly = current;
        modesOnly.modesLow = wanted.modesLow;
        modesOnly.modesHigh = wanted.modesHigh;
        writes.push_back({"the encoder modes (" + changeList(current, modesOnly) + ")",
                          [&] { return writeEncoderModes(platform, session, modeCodes(wanted)); }});
    }
    if (wanted.pulseCode != current.pulseCode)
        writes.push_back({"the pulse length (" + pulseValue(wanted) + ")",
                          [&] { return writePulseCode(platform, session, wanted.pulseCode); }});
    if (wanted.hideFlag != current.hideFlag)
        writes.push_back({"the hide flag (" + hideValue(wanted) + ")",
                          [&] { return writeHideFlag(platform, session, wanted.hideFlag); }});

    std::vector<std::string> report;  // one line per value, then what the read-back found
    bool failed = false;
    std::string stopped;  // why the writes still to come are not sent
    for (const ValueWrite& write : writes) {
        if (stopped.empty() && context.stopSignal() != 0) stopped = "korvexctl was asked to stop";
        if (!stopped.empty()) {
            report.push_back(write.what + " was not sent: " + stopped);
            failed = true;
            continue;
        }
        const WriteOutcome outcome = write.send();
        const int error = context.platform.lastError();  // the system's reason, when the write failed
        if (outcome == WriteOutcome::Sent) {
            report.push_back("wrote " + write.what);
            continue;
        }
        failed = true;
        if (outcome == WriteOutcome::NotSent) {
            report.push_back(write.what + " was not sent: the board is not ready for writes");
            continue;
        }
        report.push_back("the board refused the write of " + write.what +
                         (error != 0 ? ": " + systemErrorText(error) : std::string()));
        // A board that refused one value may take the next; one that no longer answers (unplugged)
        // is sent nothing more.
        if (context.stopSignal() == 0 && !queryCommand(platform, session, kCommandHide))
            stopped = "the board stopped answering after the refused write";
    }
    if (context.stopSignal() != 0) {
        report.push_back("stopped before the board was read back: what it holds now is unknown");
    } else if (const auto held = readSettings(platform, session)) {
        for (const std::string& difference : differences(wanted, *held)) {
            report.push_back(difference);
            failed = true;
        }
    } else {
        report.push_back("the board did not answer when read back: what it holds now is unknown");
        failed = true;
    }
    if (failed || context.stopSignal() != 0) {
        for (const std::string& line : report)
            context.err << "korvexctl: " << printable(board.serial()) << ": " << printable(line) << "\n";
        stopIfAsked(context);
        return kExitDeviceError;
    }
    context.out << printable(board.serial()) << ": set " << changeList(current, wanted) << "\n";
    return kExitOk;
}

// Settings a board holds, checked to be fit for writing to another board or a file.
BoardSettings copyableSettings(BoardConnection& board) {
    const BoardSettings settings = board.loadedSettings();
    if (!pulseKnown(settings))
        deviceError(board.serial() + " holds pulse code " + std::to_string(settings.pulseCode) +
                    ", which has no length; set one with korvexctl set " + board.serial() + " pulse=MS");
    if (!hideKnown(settings))
        deviceError(board.serial() + " holds hide flag " + std::to_string(settings.hideFlag) +
                    "; set hide=on or hide=off first");
    return settings;
}

}  // namespace

int setBoard(CliContext& context, const BoardChoice& choice, const std::vector<std::string>& assignments) {
    // The request is checked whole before any board is touched.
    const SettingsChange change = parseAssignments(assignments);
    if (change.empty()) badInput("nothing to set: give PAIR=MODE, pulse=MS or hide=on|off");
    stopIfAsked(context);
    BoardConnection board(context.platform, choice.serial, choice.index);
    return applySettings(context, board, change.appliedTo(board.loadedSettings()));
}

int saveBoard(CliContext& context, const BoardChoice& choice, const std::string& file) {
    // The file is replaced by a rename, which would put a settings file in the place of a device
    // node such as /dev/null or of a FIFO: only a regular file, or a link, is replaced.
    std::error_code unknown;
    const auto status = std::filesystem::symlink_status(fileFromUtf8(file), unknown);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_symlink(status))
        badInput(file + ": not a regular file; save writes settings files only");
    BoardConnection board(context.platform, choice.serial, choice.index);
    const BoardSettings settings = copyableSettings(board);
    const std::string document =
        settingsDocument(settings, board.serial(), versionText(board.session().attributes.releaseNumber));
    stopIfAsked(context);
    if (const std::string problem = replaceFile(fileFromUtf8(file), document); !problem.empty())
        deviceError(file + ": " + problem);
    context.out << printable(board.serial()) << ": settings saved to " << printable(file) << "\n";
    return kExitOk;
}

int loadBoard(CliContext& context, const BoardChoice& choice, const std::string& file) {
    const BoardSettings wanted = readSettingsFile(file);  // the whole file, before any board is touched
    stopIfAsked(context);
    BoardConnection board(context.platform, choice.serial, choice.index);
    return applySettings(context, board, wanted);
}

int copyBoard(CliContext& context, const BoardChoice& from, const BoardChoice& to) {
    BoardSettings settings;
    {
        BoardConnection source(context.platform, from.serial, from.index);
        settings = copyableSettings(source);
    }
    stopIfAsked(context);
    BoardConnection target(context.platform, to.serial, to.index);
    return applySettings(context, target, settings);
}

}  // namespace korvex::cli
