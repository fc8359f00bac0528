// How a rotary-encoder board describes itself, the same for every kind of virtual board: its
// strings and its HID report descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvex::tools {

inline constexpr const char* kBoardManufacturer = "Korvex";
inline constexpr const char* kBoardProduct = "Rotary Encoders Interface";

// A joystick application collection, so that the kernel makes an input device for the board and
// reports its release number there, holding the sixteen buttons and an 8-byte vendor feature
// report (9 bytes with the report ID byte) that carries the configuration protocol.
inline constexpr std::uint8_t kBoardDescriptor[] = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x04,        // Usage (Joystick)
    0xA1, 0x01,        // Collection (Application)
    0x05, 0x09,        //   Usage Page (Button)
    0x19, 0x01,        //   Usage Minimum (1)
    0x29, 0x10,        //   Usage Maximum (16)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x10,        //   Report Count (16)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x06, 0x00, 0xFF,  //   Usage Page (Vendor 0xFF00)
    0x09, 0x01,        //   Usage (1)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};
inline constexpr std::size_t kBoardFeatureLength = 9;  // report ID byte included
inline constexpr std::size_t kBoardInputLength = 2;    // sixteen buttons, no report ID

}  // namespace korvex::tools
