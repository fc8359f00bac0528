// watch: the board's input live, through the input decoder: the buttons down, and for each pair
// set to an encoder mode its steps, the pulse lengths the computer sees and the glitches. Buttons
// are found through the report descriptor, or where the system gives none (Windows) in the
// board's own 2-byte input report.
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"
#include "cli/settings_text.h"
#include "protocol/button_report.h"
#include "protocol/input_decoder.h"
#include "protocol/settings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

namespace korvex::cli {

namespace {

using Clock = InputClock;
using std::chrono::microseconds;
// Short, so that Ctrl+C and the time limit are seen at once even from a silent board. Each call
// returns as soon as a report is there: every report is read, however fast they come.
constexpr std::chrono::milliseconds kReadBound{100};

std::string hex(std::span<const std::uint8_t> bytes) {
    std::ostringstream text;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text << (i ? " " : "") << std::hex << std::setw(2) << std::setfill('0') << int{bytes[i]};
    return text.str();
}

double milliseconds(microseconds length) { return static_cast<double>(length.count()) / 1000.0; }

std::string millisecondsText(microseconds length) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", milliseconds(length));
    return text;
}

std::string lengthsText(const InputDecoder& decoder, int pair) {
    const PulseLengths pulses = decoder.pulses(pair);
    return "shortest " + millisecondsText(pulses.shortest) + ", typical " + millisecondsText(pulses.typical) +
           ", longest " + millisecondsText(pulses.longest) + " ms; set " + std::to_string(decoder.pulseSet().count()) +
           " ms";
}

std::string encodersText(const InputDecoder& decoder) {
    std::string text;
    for (int pair = 1; pair <= kPairCount; ++pair)
        if (decoder.encoder(pair))
            text += (text.empty() ? "" : ", ") + pairName(pair) + " (" +
                    kEncoderModeTexts[static_cast<std::size_t>(decoder.mode(pair))] + ")";
    return text;
}

// One line a script reads: what happened, when (seconds from the first report), and its numbers.
nlohmann::json eventJson(const InputDecoder& decoder, const InputEvent& event) {
    static constexpr const char* kKinds[] = {"press", "release", "step", "glitch"};
    nlohmann::json line;
    line["time"] = std::round(decoder.secondsAt(event.time) * 1e6) / 1e6;
    line["event"] = kKinds[static_cast<int>(event.kind)];
    line["button"] = event.button;
    if (event.pair != 0) line["pair"] = pairName(event.pair);
    if (event.kind == InputEventKind::Step) {
        line["direction"] = event.direction;
        line["count"] = event.count;
    }
    if (event.pulse) {
        line["pulse_ms"] = milliseconds(*event.pulse);
        line["pulse_set_ms"] = decoder.pulseSet().count();
    }
    if (event.kind == InputEventKind::Glitch) {
        line["glitch"] = event.glitch == Glitch::BothDown ? "both_down" : "short_pulse";
        line["glitches"] = decoder.glitches(event.pair);
    }
    return line;
}

// The last line a script reads: each encoder's count, glitches and pulse lengths, as the text's
// "in all" lines give them, so that a script need not add up the events itself.
nlohmann::json endJson(const InputDecoder& decoder) {
    nlohmann::json line{
        {"event", "end"}, {"encoders", nlohmann::json::object()}, {"pulse_set_ms", decoder.pulseSet().count()}};
    for (int pair = 1; pair <= kPairCount; ++pair) {
        if (!decoder.encoder(pair)) continue;
        const PulseLengths pulses = decoder.pulses(pair);
        nlohmann::json encoder{
            {"count", decoder.count(pair)}, {"glitches", decoder.glitches(pair)}, {"pulses", pulses.measured}};
        if (pulses.measured > 0) {
            encoder["shortest_ms"] = milliseconds(pulses.shortest);
            encoder["typical_ms"] = milliseconds(pulses.typical);
            encoder["longest_ms"] = milliseconds(pulses.longest);
        }
        line["encoders"][pairName(pair)] = encoder;
    }
    return line;
}

}  // namespace

int watchBoard(CliContext& context, const BoardChoice& choice, const WatchLimits& limits, bool json) {
    if (limits.reports && *limits.reports < 1) badInput("--count must be 1 or more");
    if (limits.seconds && !(*limits.seconds > 0)) badInput("--seconds must be more than 0");
    BoardConnection board(context.platform, choice.serial, choice.index);
    // The modes tell which pairs carry encoders; watching needs no write, so an old firmware is
    // watched too, with every button shown as a button.
    const PanelView& view = board.read();
    InputDecoder decoder(view.state == PanelState::Loaded ? view.settings : BoardSettings{});

    DeviceSession& session = board.session();
    std::vector<std::uint8_t> descriptor;
    const ButtonReport layout = context.platform.getReportDescriptor(session.deviceHandle, descriptor)
                                    ? ButtonReport::fromDescriptor(descriptor)
                                    : ButtonReport();
    std::ostream& out = context.out;
    const std::string encoders = encodersText(decoder);
    if (json) {
        nlohmann::json start{{"event", "start"},
                             {"serial", board.serial()},
                             {"buttons", layout.buttonCount()},
                             {"descriptor", layout.described()},
                             {"encoders", nlohmann::json::object()},
                             {"pulse_set_ms", decoder.pulseSet().count()}};
        for (int pair = 1; pair <= kPairCount; ++pair)
            if (decoder.encoder(pair))
                start["encoders"][pairName(pair)] = kEncoderModeTexts[static_cast<std::size_t>(decoder.mode(pair))];
        out << start.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
    } else {
        out << "Watching " << printable(board.serial()) << " until Ctrl+C; " << layout.buttonCount() << " buttons"
            << (layout.described() ? "" : " (no report descriptor here: read as the board's 2-byte report)")
            << ", encoders on "
            << (encoders.empty() ? "no pair"
                                 : encoders + ", pulses of " + std::to_string(decoder.pulseSet().count()) + " ms")
            << std::endl;
    }

    std::vector<std::uint8_t> report(std::max<std::size_t>(3, session.capabilities.inputReportLength));
    std::optional<std::uint16_t> lastPlain;  // the plain buttons last shown; the first report always shows
    const auto start = Clock::now();
    long long reports = 0;
    while (context.stopSignal() == 0) {
        if (limits.reports && reports >= *limits.reports) break;
        if (limits.seconds && std::chrono::duration<double>(Clock::now() - start).count() >= *limits.seconds) break;
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        const InputRead read = context.platform.readInput(session.deviceHandle, report, kReadBound);
        const auto arrived = Clock::now();
        if (read == InputRead::Gone) deviceError(board.serial() + ": the board is gone (unplugged?)");
        if (read == InputRead::NoneYet) continue;
        ++reports;
        const auto down = layout.buttonsDown(report);
        if (!down) {
            if (json) out << nlohmann::json{{"event", "other_report"}, {"bytes", hex(report)}}.dump() << std::endl;
            else out << "input: " << hex(report) << " (no buttons in it)" << std::endl;
            continue;
        }
        const auto events = decoder.feed(*down, arrived);
        if (json) {
            for (const InputEvent& event : events)
                out << eventJson(decoder, event).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                    << std::endl;
            continue;
        }
        std::uint16_t plain = 0;
        for (int button = 1; button <= 16; ++button)
            if (!decoder.encoder((button + 1) / 2))
                plain = static_cast<std::uint16_t>(plain | (*down & (1u << (button - 1))));
        if (plain != lastPlain) {
            out << "down:";
            if (plain == 0) out << " none";
            for (int button = 1; button <= 16; ++button)
                if ((plain >> (button - 1)) & 1) out << " " << button;
            out << std::endl;
            lastPlain = plain;
        }
        for (const InputEvent& event : events) {
            const std::string pair = event.pair ? pairName(event.pair) : std::string();
            if (event.kind == InputEventKind::Step)
                out << "encoder " << pair << ": " << (event.direction > 0 ? "+1" : "-1") << " (button " << event.button
                    << "), total " << std::showpos << event.count << std::noshowpos << std::endl;
            else if (event.kind == InputEventKind::Release && event.pulse)
                out << "encoder " << pair << ": pulse " << millisecondsText(*event.pulse) << " ms ("
                    << lengthsText(decoder, event.pair) << ")" << std::endl;
            else if (event.kind == InputEventKind::Glitch)
                out << decoder.eventText(event) << " (" << decoder.glitches(event.pair) << " on " << pair << ")"
                    << std::endl;
        }
    }
    if (json) {
        out << endJson(decoder).dump() << std::endl;
    } else {
        for (int pair = 1; pair <= kPairCount; ++pair) {
            if (!decoder.encoder(pair)) continue;
            out << "encoder " << pairName(pair) << " in all: total " << std::showpos << decoder.count(pair)
                << std::noshowpos << ", " << decoder.glitches(pair)
                << (decoder.glitches(pair) == 1 ? " glitch, " : " glitches, ");
            if (decoder.pulses(pair).measured == 0) out << "no pulse measured" << std::endl;
            else
                out << decoder.pulses(pair).measured << (decoder.pulses(pair).measured == 1 ? " pulse (" : " pulses (")
                    << lengthsText(decoder, pair) << ")" << std::endl;
        }
    }
    return kExitOk;
}

}  // namespace korvex::cli
