#include "device/device_strings.h"

#include <gtest/gtest.h>

#include <string>

namespace korvex {
namespace {

std::string narrowed(const std::u16string& units) { return narrowDeviceString(utf8FromUtf16(units)); }

TEST(narrowDeviceString, KeepsLowBytesUpToTheFirstZeroLowByteAndFiftyCharacters) {
    EXPECT_EQ(narrowed(u"K12"), "K12");
    EXPECT_EQ(narrowed(u"\u0141"), "A");       // high byte ignored
    EXPECT_EQ(narrowed(u"AB\u0100CD"), "AB");  // zero low byte ends the text
    EXPECT_EQ(narrowed(u""), "");
    EXPECT_EQ(narrowed(std::u16string(60, u'x')), std::string(50, 'x'));
    // Bytes 128 ... 255 read as ISO 8859-1: "é" (0xE9) and U+01E9 both become é.
    EXPECT_EQ(narrowed(u"\u00E9"), "\u00E9");
    EXPECT_EQ(narrowed(u"\u01E9"), "\u00E9");
}

TEST(Utf16Strings, ConvertBothWays) {
    // é (two bytes), € (three), 😀 (four: a surrogate pair).
    const std::string text = "K\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(utf16FromUtf8(text), (std::u16string{u'K', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(text)), text);
    EXPECT_EQ(utf8FromUtf16(std::u16string{u'a', 0xD800, u'b'}),
              "a\xEF\xBF\xBD"
              "b");  // a lone surrogate
}

TEST(Utf16Strings, BadUtf8BecomesReplacementCharacters) {
    // A stray continuation byte, a cut sequence, an overlong '/', an encoded surrogate.
    const std::u16string units = utf16FromUtf8(
        "\x80"
        "a\xE2\x82"
        "b\xC0\xAF\xED\xA0\x80");
    EXPECT_EQ(units, (std::u16string{0xFFFD, u'a', 0xFFFD, u'b', 0xFFFD, 0xFFFD}));
}

}  // namespace
}  // namespace korvex
