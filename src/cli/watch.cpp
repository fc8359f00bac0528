// watch: the board's input live. Buttons are found through the report descriptor; the two buttons
// of a pair set to an encoder mode carry the encoder's steps, one pulse per step and direction.
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"
#include "cli/settings_text.h"
#include "device/report_descriptor.h"
#include "protocol/settings.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <set>
#include <sstream>

namespace korvex::cli {

namespace {

using Clock = std::chrono::steady_clock;
// Short, so that Ctrl+C and the time limit are seen at once even from a silent board.
constexpr std::chrono::milliseconds kReadBound{100};

std::set<int> buttonsDown(const InputButtons& layout, std::span<const std::uint8_t> report) {
    std::set<int> down;
    const std::uint8_t id = report.empty() ? 0 : report[0];
    for (const ButtonBit& button : layout.buttons) {
        if (button.reportId != (layout.numbered ? id : 0)) continue;
        const std::size_t byte = 1 + button.bit / 8;  // after the report ID byte
        if (byte < report.size() && (report[byte] >> (button.bit % 8)) & 1) down.insert(button.button);
    }
    return down;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    std::ostringstream text;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text << (i ? " " : "") << std::hex << std::setw(2) << std::setfill('0') << int{bytes[i]};
    return text.str();
}

}  // namespace

int watchBoard(CliContext& context, const BoardChoice& choice, const WatchLimits& limits) {
    if (limits.reports && *limits.reports < 1) badInput("--count must be 1 or more");
    if (limits.seconds && !(*limits.seconds > 0)) badInput("--seconds must be more than 0");
    BoardConnection board(context.platform, choice.serial, choice.index);
    // The modes tell which pairs carry encoders; watching needs no write, so an old firmware is
    // watched too, with every button shown as a button.
    const PanelView& view = board.read();
    std::array<int, kPairCount> modes{};
    if (view.state == PanelState::Loaded) modes = modeCodes(view.settings);

    DeviceSession& session = board.session();
    std::vector<std::uint8_t> descriptor;
    const auto layout = context.platform.getReportDescriptor(session.deviceHandle, descriptor)
                            ? parseInputButtons(descriptor)
                            : std::nullopt;
    std::ostream& out = context.out;
    out << "Watching " << printable(board.serial()) << " until Ctrl+C";
    if (!layout) {
        out << "; this system gives no report descriptor, so input reports are shown as bytes" << std::endl;
    } else {
        std::string encoders;
        for (int pair = 1; pair <= kPairCount; ++pair)
            if (modes[static_cast<std::size_t>(pair - 1)] != 0)
                encoders += (encoders.empty() ? "" : ", ") + pairName(pair) + " (" +
                            kEncoderModeTexts[static_cast<std::size_t>(modes[static_cast<std::size_t>(pair - 1)])] +
                            ")";
        out << "; " << layout->buttons.size() << " buttons, encoders on " << (encoders.empty() ? "no pair" : encoders)
            << std::endl;
    }

    const auto encoderPair = [&modes](int button) {
        const int pair = (button + 1) / 2;
        return pair >= 1 && pair <= kPairCount && modes[static_cast<std::size_t>(pair - 1)] != 0 ? pair : 0;
    };
    std::vector<std::uint8_t> report(std::max<std::size_t>(2, session.capabilities.InputReportByteLength));
    std::vector<std::uint8_t> lastReport;
    std::optional<std::set<int>> lastButtons;
    std::set<int> lastDown;
    std::array<long long, kPairCount> steps{};
    const auto start = Clock::now();
    long long reports = 0;
    while (context.stopSignal() == 0) {
        if (limits.reports && reports >= *limits.reports) break;
        if (limits.seconds && std::chrono::duration<double>(Clock::now() - start).count() >= *limits.seconds) break;
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        const InputRead read = context.platform.readInput(session.deviceHandle, report, kReadBound);
        if (read == InputRead::Gone) deviceError(board.serial() + ": the board is gone (unplugged?)");
        if (read == InputRead::NoneYet) continue;
        ++reports;
        if (!layout) {
            if (report != lastReport) out << "input: " << hex(report) << std::endl;
            lastReport = report;
            continue;
        }
        const std::set<int> down = buttonsDown(*layout, report);
        std::set<int> buttons;
        for (const int button : down)
            if (encoderPair(button) == 0) buttons.insert(button);
        if (buttons != lastButtons) {  // the first report always shows
            out << "down:";
            if (buttons.empty()) out << " none";
            for (const int button : buttons) out << " " << button;
            out << std::endl;
        }
        // A button of an encoder pair going down is one step: the pair's first button one way,
        // its second the other.
        for (const int button : down) {
            const int pair = encoderPair(button);
            if (pair == 0 || lastDown.count(button)) continue;
            long long& count = steps[static_cast<std::size_t>(pair - 1)];
            count += button % 2 ? 1 : -1;
            out << "encoder " << pairName(pair) << ": " << (button % 2 ? "+1" : "-1") << " (button " << button
                << "), total " << std::showpos << count << std::noshowpos << std::endl;
        }
        lastButtons = buttons;
        lastDown = down;
    }
    return kExitOk;
}

}  // namespace korvex::cli
