#include "device/device_strings.h"
#include "device/hid_platform.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace korvex {
namespace {

// A zero-filled 201-byte buffer as a string read leaves it: `units` as UTF-16LE, cut at 100 bytes.
std::array<std::uint8_t, kDeviceStringBufferBytes> readString(const std::u16string& units) {
    std::array<std::uint8_t, kDeviceStringBufferBytes> buffer{};
    for (std::size_t i = 0; i < units.size() && 2 * i + 1 < kDeviceStringBytes; ++i) {
        buffer[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return buffer;
}

TEST(narrowDeviceString, KeepsLowBytesUpToTheFirstZeroLowByte) {
    EXPECT_EQ(narrowDeviceString(readString(u"K12")), "K12");
    EXPECT_EQ(narrowDeviceString(readString(u"\u0141")), "A");       // high byte ignored
    EXPECT_EQ(narrowDeviceString(readString(u"AB\u0100CD")), "AB");  // zero low byte ends the text
    EXPECT_EQ(narrowDeviceString(readString(u"")), "");
}

TEST(narrowDeviceString, TakesAtMostFiftyCharacters) {
    const std::u16string sixty(60, u'x');
    EXPECT_EQ(narrowDeviceString(readString(sixty)), std::string(50, 'x'));

    // Even a buffer filled past the library's limit yields no more than 50.
    std::array<std::uint8_t, kDeviceStringBufferBytes> full{};
    full.fill('y');
    EXPECT_EQ(narrowDeviceString(full), std::string(50, 'y'));
}

TEST(narrowDeviceString, MapsUpperCodesTheSameWayEveryTime) {
    // Bytes 128 ... 255 read as ISO 8859-1: "é" (0xE9) and U+01E9 both become é.
    EXPECT_EQ(narrowDeviceString(readString(u"\u00E9")), "\u00E9");
    EXPECT_EQ(narrowDeviceString(readString(u"\u01E9")), "\u00E9");
}

}  // namespace
}  // namespace korvex
