#include "device/linux/hidraw_text.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace korvex {
namespace {

std::vector<std::uint8_t> utf16(std::string_view utf8, std::size_t bytes, std::uint8_t fill = 0xCC) {
    std::vector<std::uint8_t> buffer(bytes, fill);
    putUtf16le(utf8, buffer);
    return buffer;
}

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

TEST(Utf16Strings, ConvertsUtf8WithATerminatingZero) {
    EXPECT_EQ(utf16("K1", 8), (std::vector<std::uint8_t>{'K', 0, '1', 0, 0, 0, 0xCC, 0xCC}));
    // é (two bytes), € (three), 😀 (four: a surrogate pair).
    EXPECT_EQ(utf16("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 12),
              (std::vector<std::uint8_t>{0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 0xCC, 0xCC}));
}

TEST(Utf16Strings, BadUtf8BecomesReplacementCharacters) {
    // A stray continuation byte, a cut sequence, an overlong '/', an encoded surrogate.
    const auto buffer = utf16(
        "\x80"
        "a\xE2\x82"
        "b\xC0\xAF\xED\xA0\x80",
        32);
    const std::vector<std::uint16_t> expected = {0xFFFD, 'a', 0xFFFD, 'b', 0xFFFD, 0xFFFD, 0};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(buffer[2 * i] | (buffer[2 * i + 1] << 8), expected[i]) << "unit " << i;
}

TEST(Utf16Strings, NeverWritesPastTheBuffer) {
    const std::string sixty(60, 'S');
    std::array<std::uint8_t, 102> guarded{};
    guarded.fill(0xCC);
    putUtf16le(sixty, std::span(guarded).first(100));
    EXPECT_EQ(guarded[98], 'S');  // cut without a terminator, as the HID library does
    EXPECT_EQ(guarded[100], 0xCC);
    EXPECT_EQ(guarded[101], 0xCC);
    EXPECT_EQ(utf16("\xE2\x82\xAC", 3), (std::vector<std::uint8_t>{0xAC, 0x20, 0x00}));
    EXPECT_NO_THROW(putUtf16le("abc", {}));
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
