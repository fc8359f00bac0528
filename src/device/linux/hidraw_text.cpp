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

NameParts splitHidName(std::string_view name) {
    name = trimmed(name);
    const auto blank = name.find(' ');
    if (blank == std::string_view::npos) return {std::string(name), std::string(name)};
    return {std::string(name.substr(0, blank)), std::string(trimmed(name.substr(blank + 1)))};
}

}  // namespace korvex
