// A device's strings: what platforms hand out (UTF-8), the UTF-16 the HID library speaks, and the
// narrowed text by which the configurator lists and finds a board.
#pragma once

#include <string>
#include <string_view>

namespace korvex {

inline constexpr std::size_t kNarrowedMaxChars = 50;

// UTF-8 as UTF-16 code units. Bytes that are not UTF-8 (a stray or missing continuation byte, an
// overlong form, an encoded surrogate) become U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);
// UTF-16 code units as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view units);

// The text a board is listed and found by: the low byte of each UTF-16 unit of `text`, up to the
// first zero low byte, at most 50 characters (U+0141 gives "A"). The 8-bit codes are read as
// ISO 8859-1 and returned in UTF-8, the same mapping for the serial list and for every comparison
// with it.
std::string narrowDeviceString(std::string_view text);

}  // namespace korvex
