// What the board understands, defined once: the command codes, the report markers and the value
// ranges. The reports the configurator builds, the board's firmware model, the demos' report text
// and the tests all take them from here.
#pragma once

#include <cstdint>

namespace korvex {

enum CommandCode : std::uint8_t {
    kCommandHide = 1,       // hide the board from the gaming devices list: 0 shown, 1 hidden
    kCommandModesLow = 8,   // bit k-1: bit 0 of pair k's encoder mode
    kCommandModesHigh = 9,  // bit k-1: bit 1 of pair k's encoder mode
    kCommandPulse = 10,     // pulse code 1 ... 25, a pulse of 4 ms x code
};

// Byte 1 of a write report (00 EE code value ...) and of the hide flag's follow-up (00 B0 01 value ...).
// Any other byte 1 is a select report: the next get-feature answers that command's value at byte 2.
inline constexpr std::uint8_t kWriteMarker = 0xEE;
inline constexpr std::uint8_t kFollowUpMarker = 0xB0;

// Eight button pairs, 1-2 ... 15-16, each with an encoder mode 0 ... 3.
inline constexpr int kPairCount = 8;
inline constexpr int kEncoderModeCount = 4;

// The pulse lasts 4 ms x code.
inline constexpr int kPulseCodeMin = 1;
inline constexpr int kPulseCodeMax = 25;
inline constexpr int kPulseStepMs = 4;

// The board's buttons, 1 to 16, travel in one 2-byte input report (without the report ID byte):
// buttons 1 to 8 in the first byte, 9 to 16 in the second.
inline constexpr std::size_t kBoardInputBytes = 2;

// The oldest firmware that can be set up: release 0.14 (major in the high byte, minor in the low).
inline constexpr std::uint16_t kMinFirmwareVersion = 0x0014;

}  // namespace korvex
