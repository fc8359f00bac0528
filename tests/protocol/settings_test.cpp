#include "protocol/settings.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(EncoderModes, PackIntoLowAndHighBits) {
    using Codes = std::array<int, kPairCount>;
    EXPECT_EQ(packEncoderModes(Codes{}), (EncoderModeBytes{0x00, 0x00}));
    EXPECT_EQ(packEncoderModes(Codes{1, 1, 1, 1, 1, 1, 1, 1}), (EncoderModeBytes{0xFF, 0x00}));
    EXPECT_EQ(packEncoderModes(Codes{3, 3, 3, 3, 3, 3, 3, 3}), (EncoderModeBytes{0xFF, 0xFF}));
    EXPECT_EQ(packEncoderModes(Codes{3, 0, 0, 0, 0, 0, 0, 0}), (EncoderModeBytes{0x01, 0x01}));
    EXPECT_EQ(packEncoderModes(Codes{0, 0, 0, 0, 0, 0, 0, 2}), (EncoderModeBytes{0x00, 0x80}));
    EXPECT_EQ(packEncoderModes(Codes{0, 1, 2, 3, 0, 1, 2, 3}), (EncoderModeBytes{0xAA, 0xCC}));
}

TEST(EncoderModes, UnpackIsTheInverseForEveryPairAndCode) {
    for (int pair = 1; pair <= kPairCount; ++pair) {
        for (int code = 0; code <= 3; ++code) {
            std::array<int, kPairCount> codes{};
            codes[static_cast<std::size_t>(pair - 1)] = code;
            const EncoderModeBytes bytes = packEncoderModes(codes);
            for (int other = 1; other <= kPairCount; ++other)
                EXPECT_EQ(encoderModeOf(bytes, other), other == pair ? code : 0) << pair << " " << code;
        }
    }
}

TEST(PulseLength, EntriesShowFourMillisecondSteps) {
    EXPECT_EQ(pulseText(1), "4 ms");
    EXPECT_EQ(pulseText(6), "24 ms");
    EXPECT_EQ(pulseText(25), "100 ms");
}

}  // namespace
}  // namespace korvex
