#include "device/device_strings.h"

namespace korvex {

std::string narrowDeviceString(std::span<const std::uint8_t> buffer) {
    std::string text;
    for (std::size_t k = 0, chars = 0; k < buffer.size() && chars < kNarrowedMaxChars; k += 2, ++chars) {
        const std::uint8_t code = buffer[k];
        if (code == 0) break;
        if (code < 0x80) {
            text.push_back(static_cast<char>(code));
        } else {
            text.push_back(static_cast<char>(0xC0 | (code >> 6)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return text;
}

}  // namespace korvex
