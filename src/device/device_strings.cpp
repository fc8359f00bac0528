#include "device/device_strings.h"

namespace korvex {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One code point from the front of `utf8`; malformed or overlong sequences give U+FFFD.
char32_t nextCodePoint(std::string_view& utf8) {
    const auto lead = static_cast<unsigned char>(utf8.front());
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || length > utf8.size()) {
        utf8.remove_prefix(1);
        return kReplacement;
    }
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[i]);
        if ((next & 0xC0) != 0x80) {
            utf8.remove_prefix(i);
            return kReplacement;
        }
        point = (point << 6) | (next & 0x3F);
    }
    utf8.remove_prefix(length);
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return kReplacement;
    return point;
}

void appendUtf8(std::string& text, char32_t point) {
    if (point < 0x80) {
        text.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (point >> 6)));
        text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (point >> 12)));
        text.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (point >> 18)));
        text.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string units;
    while (!text.empty()) {
        const char32_t point = nextCodePoint(text);
        if (point >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(point));
        }
    }
    return units;
}

std::string utf8FromUtf16(std::u16string_view units) {
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00));
            ++i;
        } else {
            appendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : char32_t{unit});
        }
    }
    return text;
}

std::string narrowDeviceString(std::string_view text) {
    std::string narrowed;
    std::size_t chars = 0;
    for (const char16_t unit : utf16FromUtf8(text)) {
        const auto code = static_cast<std::uint8_t>(unit & 0xFF);
        if (code == 0 || chars++ == kNarrowedMaxChars) break;
        appendUtf8(narrowed, code);
    }
    return narrowed;
}

}  // namespace korvex
