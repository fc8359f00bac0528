// Text the Linux HID stack gives about a hidraw node (uevent values, sysfs attributes), turned
// into what the platform interface promises. Pure functions, so they are tested without a kernel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvex {

struct HidIds {
    std::uint16_t bus = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// HID_ID of a HID device's uevent, "0003:00005A17:00000102" (bus, vendor, product in hex).
std::optional<HidIds> parseHidId(std::string_view text);

// A 16-bit hexadecimal attribute such as bcdDevice ("0114") or an input device's id/version.
std::optional<std::uint16_t> parseHex16(std::string_view text);

// Manufacturer and product for a HID device without a USB parent (a virtual or Bluetooth one):
// the kernel builds a USB device's HID_NAME as "<manufacturer> <product>", so the name is split at
// its first blank; a name without a blank serves as both.
struct NameParts {
    std::string manufacturer;
    std::string product;
};
NameParts splitHidName(std::string_view name);

}  // namespace korvex
