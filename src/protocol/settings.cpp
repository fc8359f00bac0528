#include "protocol/settings.h"

namespace korvex {

std::string pulseText(int code) { return std::to_string(kPulseStepMs * code) + " ms"; }

EncoderModeBytes packEncoderModes(const std::array<int, kPairCount>& codes) {
    EncoderModeBytes bytes;
    for (int k = 0; k < kPairCount; ++k) {
        const int code = codes[static_cast<std::size_t>(k)];
        bytes.low |= static_cast<std::uint8_t>((code & 1) << k);
        bytes.high |= static_cast<std::uint8_t>(((code >> 1) & 1) << k);
    }
    return bytes;
}

int encoderModeOf(EncoderModeBytes bytes, int pair) {
    const int bit = pair - 1;
    return ((bytes.low >> bit) & 1) + 2 * ((bytes.high >> bit) & 1);
}

std::array<int, kPairCount> unpackEncoderModes(EncoderModeBytes bytes) {
    std::array<int, kPairCount> codes{};
    for (int pair = 1; pair <= kPairCount; ++pair)
        codes[static_cast<std::size_t>(pair - 1)] = encoderModeOf(bytes, pair);
    return codes;
}

std::string pairName(int pair) { return std::to_string(2 * pair - 1) + "-" + std::to_string(2 * pair); }

}  // namespace korvex
