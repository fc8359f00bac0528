#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korvex {

// The zero-filled buffer a device string is read into: the platform may fill only the first
// kDeviceStringBytes, so the byte after them is always zero.
inline constexpr std::size_t kDeviceStringBufferBytes = 201;
inline constexpr std::size_t kNarrowedMaxChars = 50;

// Turns UTF-16LE code units into 8-bit text: the low byte of each unit, up to the first zero low
// byte, at most 50 characters. The 8-bit codes are read as ISO 8859-1 and returned in UTF-8, the
// same mapping for the serial list and for every comparison with it.
std::string narrowDeviceString(std::span<const std::uint8_t> buffer);

}  // namespace korvex
