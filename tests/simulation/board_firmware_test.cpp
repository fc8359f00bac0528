#include "simulation/board_firmware.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

namespace korvex {
namespace {

// The firmware model is what the simulated bus, the demo and the virtual board all answer with,
// so its reading of the protocol is checked on the bytes the board sees.
TEST(BoardFirmware, AnswersTheLastSelectedCommandAndStoresWrites) {
    BoardFirmware firmware({0x05, 0x04, 6, 1});
    std::vector<std::uint8_t> response(8, 0xFF);

    EXPECT_TRUE(firmware.receiveFeature(std::vector<std::uint8_t>{0x00, 0x0A, 0, 0}));
    firmware.answerFeature(response);
    EXPECT_EQ(response, (std::vector<std::uint8_t>{0x00, 0x0A, 6, 0, 0, 0, 0, 0}));

    EXPECT_TRUE(firmware.receiveFeature(std::vector<std::uint8_t>{0x00, 0xEE, 0x0A, 25, 0}));
    firmware.answerFeature(response);
    EXPECT_EQ(response[2], 25);  // the selection stays; the value is the new one

    EXPECT_TRUE(firmware.receiveFeature(std::vector<std::uint8_t>{0x00, 0xEE, 0x01, 0, 0}));
    EXPECT_TRUE(firmware.receiveFeature(std::vector<std::uint8_t>{0x00, 0xB0, 0x01, 0, 0}));
    EXPECT_EQ(firmware.settings(), (BoardSettings{0x05, 0x04, 25, 0}));
    EXPECT_EQ(firmware.followUps(), 1u);
}

TEST(BoardFirmware, IgnoresReportsItCannotRead) {
    BoardFirmware firmware({1, 2, 3, 0});
    EXPECT_FALSE(firmware.receiveFeature(std::vector<std::uint8_t>{}));
    EXPECT_FALSE(firmware.receiveFeature(std::vector<std::uint8_t>{0x01, 0xEE, 0x08, 9}));  // report ID 1
    EXPECT_FALSE(firmware.receiveFeature(std::vector<std::uint8_t>{0x00, 0xEE, 0x08}));     // too short
    EXPECT_EQ(firmware.settings(), (BoardSettings{1, 2, 3, 0}));

    // A response shorter than three bytes carries what fits and no more.
    std::vector<std::uint8_t> tiny(2, 0xFF);
    firmware.answerFeature(tiny);
    EXPECT_EQ(tiny, (std::vector<std::uint8_t>{0, 0}));
}

// A board program asks the model when the next change is due and sends a report then; one that
// wakes late must still send every press and release, in order, and the held buttons and the
// one-report pulses keep working beside a turn.
TEST(BoardFirmware, TurnsAnEncoderOnATimedScheduleThatALateReaderStillReportsWhole) {
    using namespace std::chrono_literals;
    BoardFirmware firmware({0x04, 0x00, 3, 0});  // pair 3 in 1:1, pulses of 12 ms
    firmware.holdButtons(0x0001);
    const auto t0 = BoardFirmware::Clock::now();
    EXPECT_FALSE(firmware.turn(9, 1, 10, t0));
    EXPECT_FALSE(firmware.turn(3, 1, 0, t0));
    ASSERT_TRUE(firmware.turn(3, -2, 10, t0));
    EXPECT_EQ(firmware.buttonsAt(t0 + 5ms), 0x0021);  // button 6 down for the first step
    EXPECT_EQ(firmware.buttonsAt(t0 + 12ms), 0x0001);
    EXPECT_EQ(firmware.buttonsAt(t0 + 105ms), 0x0021);
    EXPECT_EQ(firmware.nextChange(), t0);

    // Read once, long after the turn ended: each report tells the next change.
    using Report = std::array<std::uint8_t, kBoardInputBytes>;
    const auto late = t0 + 1s;
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x21, 0}));
    EXPECT_EQ(firmware.nextChange(), t0 + 12ms);
    firmware.pulseButton(16);  // goes first, with the turn's button still down
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x21, 0x80}));
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x21, 0}));
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x01, 0}));  // then the release
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x21, 0}));
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x01, 0}));
    EXPECT_FALSE(firmware.nextChange());
    EXPECT_EQ(firmware.nextInputReport(late), (Report{0x01, 0}));

    // A turn given during another starts after it, with the button up for a pulse between.
    firmware.turn(3, 1, 10, late);
    firmware.turn(3, 1, 10, late);
    firmware.nextInputReport(late);
    firmware.nextInputReport(late + 12ms);
    EXPECT_EQ(firmware.nextChange(), late + 24ms);
}

}  // namespace
}  // namespace korvex
