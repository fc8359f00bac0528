// set, save, load and copy. Every write goes through applySettings: only what differs from what
// the board holds is written, with the window's reports, and the board is read back afterwards.
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/settings_file.h"
#include "cli/settings_text.h"
#include "protocol/settings.h"
#include "protocol/settings_writes.h"

#include <cerrno>
#include <fstream>

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

// Writes what differs, reads the board back and reports every value it did not take (exit 1).
int applySettings(CliContext& context, BoardConnection& board, const BoardSettings& wanted) {
    const BoardSettings current = board.loadedSettings();
    // Only values with a name go out: the writes refuse anything else, and so do we, before sending.
    if (!pulseKnown(wanted) || !hideKnown(wanted)) badInput("the settings hold a pulse or hide value without a name");
    if (wanted == current) {
        context.out << board.serial() << ": already set, nothing written\n";
        return kExitOk;
    }
    HidPlatform& platform = context.platform;
    DeviceSession& session = board.session();
    std::vector<std::string> refused;
    const auto note = [&refused](WriteOutcome outcome, const std::string& what) {
        if (outcome == WriteOutcome::Failed) refused.push_back("the board refused the write of " + what);
        if (outcome == WriteOutcome::NotSent) refused.push_back(what + " was not written");
    };
    if (wanted.modesLow != current.modesLow || wanted.modesHigh != current.modesHigh)
        note(writeEncoderModes(platform, session, modeCodes(wanted)), "the encoder modes");
    if (wanted.pulseCode != current.pulseCode)
        note(writePulseCode(platform, session, wanted.pulseCode), "the pulse length");
    if (wanted.hideFlag != current.hideFlag) note(writeHideFlag(platform, session, wanted.hideFlag), "the hide flag");

    const auto held = readSettings(platform, session);
    if (!held) deviceError(board.serial() + ": written, but the board did not answer when read back");
    for (const std::string& difference : differences(wanted, *held)) refused.push_back(difference);
    if (!refused.empty()) {
        for (const std::string& problem : refused)
            context.err << "korvexctl: " << board.serial() << ": " << problem << "\n";
        return kExitDeviceError;
    }
    context.out << board.serial() << ": set " << changeList(current, wanted) << "\n";
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
    BoardConnection board(context.platform, choice.serial, choice.index);
    return applySettings(context, board, change.appliedTo(board.loadedSettings()));
}

int saveBoard(CliContext& context, const BoardChoice& choice, const std::string& file) {
    BoardConnection board(context.platform, choice.serial, choice.index);
    const BoardSettings settings = copyableSettings(board);
    const std::string document =
        settingsDocument(settings, board.serial(), versionText(board.session().attributes.VersionNumber));
    std::ofstream out(fileFromUtf8(file), std::ios::binary | std::ios::trunc);
    if (!out || !(out << document) || !out.flush())
        deviceError(file + ": cannot be written: " + systemErrorText(errno));
    context.out << board.serial() << ": settings saved to " << file << "\n";
    return kExitOk;
}

int loadBoard(CliContext& context, const BoardChoice& choice, const std::string& file) {
    const BoardSettings wanted = readSettingsFile(file);  // the whole file, before any board is touched
    BoardConnection board(context.platform, choice.serial, choice.index);
    return applySettings(context, board, wanted);
}

int copyBoard(CliContext& context, const BoardChoice& from, const BoardChoice& to) {
    BoardSettings settings;
    {
        BoardConnection source(context.platform, from.serial, from.index);
        settings = copyableSettings(source);
    }
    BoardConnection target(context.platform, to.serial, to.index);
    return applySettings(context, target, settings);
}

}  // namespace korvex::cli
