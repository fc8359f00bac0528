// The board's settings and how each travels in the value byte of a command.
#pragma once

#include "device/board_commands.h"

#include <array>
#include <cstdint>
#include <string>

namespace korvex {

// What the board holds, one value a command.
struct BoardSettings {
    std::uint8_t modesLow = 0;   // command 8: bit k-1 = bit 0 of pair k's encoder mode
    std::uint8_t modesHigh = 0;  // command 9: bit k-1 = bit 1 of pair k's encoder mode
    std::uint8_t pulseCode = 1;  // command 10: pulse lasts 4 ms x code
    std::uint8_t hideFlag = 0;   // command 1: 1 hides the board from the gaming devices list

    bool operator==(const BoardSettings&) const = default;
};

// How a button pair decodes a rotary encoder: the code 0 ... 3 is the selection index of its list.
inline constexpr std::array<const char*, kEncoderModeCount> kEncoderModeTexts = {"OFF", "1:1", "1:2", "1:4"};

// The pulse lasts 4 ms x code; the code is the selection index of the pulse list plus one.
std::string pulseText(int code);  // "4 ms" ... "100 ms"

// The modes of all eight pairs: bit k-1 of `low` is bit 0 of pair k's code, bit k-1 of `high`
// its bit 1. Pair 1 is bit 0 (0x01), pair 8 bit 7 (0x80).
struct EncoderModeBytes {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    bool operator==(const EncoderModeBytes&) const = default;
};
// Codes outside 0 ... 3 have no encoding: the caller checks with encoderCodeValid first.
EncoderModeBytes packEncoderModes(const std::array<int, kPairCount>& codes);
int encoderModeOf(EncoderModeBytes bytes, int pair);  // pair 1 ... 8, returns 0 ... 3
// The eight codes the two bytes hold, pair 1 first: what packEncoderModes packed.
std::array<int, kPairCount> unpackEncoderModes(EncoderModeBytes bytes);
// How the window labels a pair: "1-2" for pair 1 ... "15-16" for pair 8.
std::string pairName(int pair);
inline bool encoderCodeValid(int code) { return code >= 0 && code < kEncoderModeCount; }

// Values a board may hold that have a name, and so may be shown, saved or written back as they
// are: a pulse code with a length (1 ... 25), a hide flag of 0 or 1.
inline bool pulseKnown(const BoardSettings& settings) {
    return settings.pulseCode >= kPulseCodeMin && settings.pulseCode <= kPulseCodeMax;
}
inline bool hideKnown(const BoardSettings& settings) { return settings.hideFlag <= 1; }

}  // namespace korvex
