#include "device/board_firmware.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace korvex
