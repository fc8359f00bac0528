// How a rotary-encoder board describes itself, the same for every kind of virtual board: its
// strings, its report lengths, and (from the firmware model) its HID report descriptor.
#pragma once

#include "simulation/board_firmware.h"

#include <cstddef>
#include <cstdint>

namespace korvex::tools {

inline constexpr const char* kBoardManufacturer = "Korvex";
inline constexpr const char* kBoardProduct = "Rotary Encoders Interface";

inline constexpr std::size_t kBoardFeatureLength = 9;               // report ID byte included
inline constexpr std::size_t kBoardInputLength = kBoardInputBytes;  // sixteen buttons, no report ID

// The report descriptor is the firmware model's own, so every board describes itself the same.
using korvex::boardReportDescriptor;

}  // namespace korvex::tools
