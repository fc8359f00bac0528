#include "device/linux/hidraw_text.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace korvex {
namespace {

TEST(HidId, ReadsBusVendorAndProduct) {
    const auto ids = parseHidId("0003:00005A17:00000102");
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->bus, 0x0003);
    EXPECT_EQ(ids->vendor, 0x5A17);
    EXPECT_EQ(ids->product, 0x0102);
    EXPECT_TRUE(parseHidId("0005:0000045e:00000b13\n"));
    for (const char* bad : {"", "0003:00005A17", "0003::00000102", "0003:00005A17:", "0003:000X5A17:00000102",
                            "0003:00015A17:00000102", "0003:5A17:0102:9"})
        EXPECT_FALSE(parseHidId(bad)) << bad;
}

TEST(HidId, ReadsSixteenBitHexAttributes) {
    EXPECT_EQ(parseHex16("0114\n"), 0x0114);
    EXPECT_EQ(parseHex16("ffff"), 0xFFFF);
    EXPECT_FALSE(parseHex16("10000"));
    EXPECT_FALSE(parseHex16(""));
    EXPECT_FALSE(parseHex16("1.14"));
}

TEST(HidName, SplitsManufacturerFromProductAtTheFirstBlank) {
    const NameParts board = splitHidName("Korvex Rotary Encoders Interface");
    EXPECT_EQ(board.manufacturer, "Korvex");
    EXPECT_EQ(board.product, "Rotary Encoders Interface");
    const NameParts single = splitHidName("Gamepad");
    EXPECT_EQ(single.manufacturer, "Gamepad");
    EXPECT_EQ(single.product, "Gamepad");
    EXPECT_EQ(splitHidName("").manufacturer, "");
}

}  // namespace
}  // namespace korvex
