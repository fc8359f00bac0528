#include "device/linux/hidraw_text.h"

#include <charconv>
#include <vector>

namespace korvex {

namespace {

std::optional<std::uint32_t> hexField(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\n") - first + 1);
}

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
        return 0xFFFD;
    }
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[i]);
        if ((next & 0xC0) != 0x80) {
            utf8.remove_prefix(i);
            return 0xFFFD;
        }
        point = (point << 6) | (next & 0x3F);
    }
    utf8.remove_prefix(length);
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0xFFFD;
    return point;
}

}  // namespace

std::optional<HidIds> parseHidId(std::string_view text) {
    const auto colon1 = text.find(':');
    const auto colon2 = text.find(':', colon1 == std::string_view::npos ? colon1 : colon1 + 1);
    if (colon2 == std::string_view::npos) return std::nullopt;
    const auto bus = hexField(text.substr(0, colon1));
    const auto vendor = hexField(text.substr(colon1 + 1, colon2 - colon1 - 1));
    const auto product = hexField(trimmed(text.substr(colon2 + 1)));
    if (!bus || !vendor || !product || *bus > 0xFFFF || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    return HidIds{static_cast<std::uint16_t>(*bus), static_cast<std::uint16_t>(*vendor),
                  static_cast<std::uint16_t>(*product)};
}

std::optional<std::uint16_t> parseHex16(std::string_view text) {
    const auto value = hexField(trimmed(text));
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

void putUtf16le(std::string_view utf8, std::span<std::uint8_t> buffer) {
    // Only as many characters as can reach the buffer are converted: each gives two bytes or more.
    std::vector<std::uint8_t> bytes;
    auto unit = [&bytes](char32_t u) {
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((u >> 8) & 0xFF));
    };
    while (!utf8.empty() && bytes.size() < buffer.size()) {
        const char32_t point = nextCodePoint(utf8);
        if (point >= 0x10000) {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            unit(point);
        }
    }
    unit(0);
    for (std::size_t i = 0; i < buffer.size() && i < bytes.size(); ++i) buffer[i] = bytes[i];
}

NameParts splitHidName(std::string_view name) {
    name = trimmed(name);
    const auto blank = name.find(' ');
    if (blank == std::string_view::npos) return {std::string(name), std::string(name)};
    return {std::string(name.substr(0, blank)), std::string(trimmed(name.substr(blank + 1)))};
}

}  // namespace korvex
