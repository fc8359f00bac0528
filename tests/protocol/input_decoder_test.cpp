#include "protocol/input_decoder.h"

#include "protocol/button_report.h"
#include "protocol/settings.h"
#include "simulation/board_firmware.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace korvex {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// Runs the firmware's turns to the end as a board program does, one report at each change, and
// feeds the decoder what the computer reads: the report's bytes through the board's layout.
void play(BoardFirmware& firmware, InputDecoder& decoder, std::vector<InputEvent>* events = nullptr) {
    const ButtonReport layout = ButtonReport::fromDescriptor(boardReportDescriptor());
    while (const auto change = firmware.nextChange()) {
        const auto bytes = firmware.nextInputReport(*change);
        const auto down = layout.buttonsDown(std::vector<std::uint8_t>{0, bytes[0], bytes[1]});
        ASSERT_TRUE(down);
        auto made = decoder.feed(*down, *change);
        if (events) events->insert(events->end(), made.begin(), made.end());
    }
}

BoardSettings settingsWith(int pair, int mode, std::uint8_t pulseCode) {
    std::array<int, kPairCount> modes{};
    modes[static_cast<std::size_t>(pair - 1)] = mode;
    const auto bytes = packEncoderModes(modes);
    return {bytes.low, bytes.high, pulseCode, 0};
}

TEST(InputDecoder, CountsStepsAndMeasuresPulsesOfATurnInEveryMode) {
    struct Case {
        int pair, mode, steps;
        std::uint8_t pulseCode;
        double rate;
        milliseconds spacing;  // between two presses: 1 / rate, or two pulses when that is longer
    };
    const auto t0 = InputClock::now();
    for (const Case c : {Case{1, 1, 3, 1, 10, milliseconds(100)}, Case{3, 2, -5, 2, 20, milliseconds(50)},
                         Case{8, 3, 4, 25, 20, milliseconds(200)}, Case{5, 3, -1, 3, 10, milliseconds(100)}}) {
        SCOPED_TRACE("pair " + std::to_string(c.pair) + " steps " + std::to_string(c.steps));
        BoardFirmware firmware(settingsWith(c.pair, c.mode, c.pulseCode));
        firmware.holdButtons(c.pair == 1 ? 0x8000 : 0x0001);  // a plain button held throughout
        InputDecoder decoder(firmware.settings());
        decoder.feed(firmware.buttonsAt(t0), t0);
        ASSERT_TRUE(firmware.turn(c.pair, c.steps, c.rate, t0 + milliseconds(10)));
        std::vector<InputEvent> events;
        play(firmware, decoder, &events);

        EXPECT_EQ(decoder.count(c.pair), c.steps);
        EXPECT_EQ(decoder.glitches(), 0u);
        const int button = c.steps > 0 ? 2 * c.pair - 1 : 2 * c.pair;
        std::vector<InputClock::time_point> steps;
        for (const InputEvent& event : events) {
            if (event.kind != InputEventKind::Step) continue;
            EXPECT_EQ(event.button, button);
            EXPECT_EQ(event.direction, c.steps > 0 ? 1 : -1);
            steps.push_back(event.time);
        }
        ASSERT_EQ(steps.size(), static_cast<std::size_t>(std::abs(c.steps)));
        for (std::size_t i = 1; i < steps.size(); ++i) EXPECT_EQ(steps[i] - steps[i - 1], c.spacing);
        const PulseLengths pulses = decoder.pulses(c.pair);
        const microseconds set = milliseconds(4 * c.pulseCode);
        EXPECT_EQ(pulses.measured, static_cast<std::size_t>(std::abs(c.steps)));
        EXPECT_EQ(pulses.shortest, set);
        EXPECT_EQ(pulses.typical, set);
        EXPECT_EQ(pulses.longest, set);
        EXPECT_EQ(decoder.down(), firmware.buttonsAt(steps.back() + milliseconds(200)));  // the held button only
    }

    // A pair set OFF is two plain buttons: the same turn gives presses and releases, no step.
    BoardFirmware firmware(settingsWith(1, 1, 2));
    InputDecoder decoder(firmware.settings());
    firmware.turn(2, 2, 10, t0);
    std::vector<InputEvent> events;
    play(firmware, decoder, &events);
    EXPECT_EQ(decoder.count(2), 0);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, InputEventKind::Press);
    EXPECT_EQ(events[1].kind, InputEventKind::Release);
    EXPECT_FALSE(events[1].pulse);
}

TEST(InputDecoder, FindsGlitchesAndKeepsALogToCopy) {
    struct Report {
        int ms;
        std::uint16_t down;
    };
    struct Case {
        const char* name;
        std::vector<Report> reports;
        long long count;
        std::vector<Glitch> glitches;
    };
    // Pair 3 (buttons 5 and 6) in 1:2, pulses of 8 ms: a pulse under 4 ms is a glitch.
    const std::vector<Case> cases = {
        {"both pressed in one report", {{0, 0}, {10, 0x30}, {18, 0}}, 0, {Glitch::BothDown}},
        {"the second pressed while the first is down",
         {{0, 0}, {10, 0x10}, {14, 0x30}, {20, 0}},
         1,
         {Glitch::BothDown}},
        {"a pulse of 3 ms", {{0, 0}, {10, 0x10}, {13, 0}, {30, 0x20}, {38, 0}}, 0, {Glitch::ShortPulse}},
        {"a pulse of exactly half the length set", {{0, 0}, {10, 0x20}, {14, 0}}, -1, {}},
        {"long pulses and a plain button", {{0, 0x01}, {10, 0x11}, {200, 0x01}, {210, 0}}, 1, {}},
        {"down in the first report: not measured", {{0, 0x10}, {1, 0}}, 1, {}},
    };
    const auto t0 = InputClock::now();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InputDecoder decoder(settingsWith(3, 2, 2), 4);
        std::vector<Glitch> glitches;
        for (const Report& report : c.reports)
            for (const InputEvent& event : decoder.feed(report.down, t0 + milliseconds(report.ms)))
                if (event.kind == InputEventKind::Glitch) glitches.push_back(event.glitch);
        EXPECT_EQ(decoder.count(3), c.count);
        EXPECT_EQ(glitches, c.glitches);
        EXPECT_EQ(decoder.glitches(3), c.glitches.size());
        EXPECT_LE(decoder.log().size(), 4u);  // the last four events only
    }

    InputDecoder decoder(settingsWith(3, 2, 2));
    for (const Report& report : std::vector<Report>{{0, 0x01}, {10, 0x11}, {13, 0x01}, {1500, 0x21}, {1508, 0x01}})
        decoder.feed(report.down, t0 + milliseconds(report.ms));
    EXPECT_EQ(decoder.logText(),
              "     0.000  press 1\n"
              "     0.010  press 5\n"
              "     0.010  step 5-6 +1 (button 5), count +1\n"
              "     0.013  release 5 after 3.0 ms\n"
              "     0.013  glitch 5-6: pulse of 3.0 ms on button 5, under half the 8 ms set\n"
              "     1.500  press 6\n"
              "     1.500  step 5-6 -1 (button 6), count 0\n"
              "     1.508  release 6 after 8.0 ms\n");
    EXPECT_EQ(decoder.pulses(3).typical, microseconds(5500));  // the median of 3 and 8 ms

    // A reset starts counting again; button 1, held through it, is not pressed again.
    decoder.reset();
    EXPECT_EQ(decoder.count(3), 0);
    EXPECT_EQ(decoder.pulses(3).measured, 0u);
    EXPECT_EQ(decoder.glitches(), 0u);
    EXPECT_TRUE(decoder.log().empty());
    EXPECT_TRUE(decoder.feed(0x01, t0 + milliseconds(2000)).empty());
}

TEST(ButtonReport, ReadsAndWritesTheButtonsWithAndWithoutADescriptor) {
    const ButtonReport board = ButtonReport::fromDescriptor(boardReportDescriptor());
    const ButtonReport fallback;  // no descriptor, as on Windows
    EXPECT_TRUE(board.described());
    EXPECT_FALSE(fallback.described());
    for (const std::uint16_t down : {0x0000, 0x0001, 0x0100, 0x8421, 0xFFFF}) {
        BoardFirmware firmware;
        firmware.holdButtons(down);
        const auto sent = firmware.nextInputReport();
        const std::vector<std::uint8_t> report{0, sent[0], sent[1]};
        EXPECT_EQ(board.buttonsDown(report), down);
        EXPECT_EQ(fallback.buttonsDown(report), down);
        EXPECT_EQ(board.reportFor(down), report);
        EXPECT_EQ(fallback.reportFor(down), report);
    }
    // A cut report or one of another ID tells nothing: never buttons let go.
    EXPECT_FALSE(fallback.buttonsDown(std::vector<std::uint8_t>{0, 0xFF}));
    EXPECT_FALSE(fallback.buttonsDown(std::vector<std::uint8_t>{2, 0xFF, 0xFF}));

    // Numbered reports: the buttons' report ID leads their report, in both directions.
    const std::vector<std::uint8_t> numbered = {0x05, 0x09, 0xA1, 0x01, 0x85, 0x03, 0x19, 0x01, 0x29,
                                                0x04, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x04,
                                                0x81, 0x02, 0x95, 0x04, 0x81, 0x01, 0xC0};
    const ButtonReport three = ButtonReport::fromDescriptor(numbered);
    EXPECT_EQ(three.buttonCount(), 4u);
    EXPECT_EQ(three.reportFor(0x0009), (std::vector<std::uint8_t>{3, 0x09}));
    EXPECT_EQ(three.buttonsDown(std::vector<std::uint8_t>{3, 0xF6}), 0x0006);
    EXPECT_FALSE(three.buttonsDown(std::vector<std::uint8_t>{0, 0x01}));
}

}  // namespace
}  // namespace korvex
