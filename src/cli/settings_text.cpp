#include "cli/settings_text.h"

#include "cli/command_error.h"
#include "protocol/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace korvex::cli {

std::optional<int> pairOf(std::string_view name) {
    for (int pair = 1; pair <= kPairCount; ++pair)
        if (name == pairName(pair)) return pair;
    return std::nullopt;
}

std::optional<int> modeCodeOf(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (int code = 0; code < kEncoderModeCount; ++code)
        if (upper == kEncoderModeTexts[static_cast<std::size_t>(code)]) return code;
    return std::nullopt;
}

std::optional<int> pulseCodeOfMs(long long ms) {
    if (ms % kPulseStepMs != 0) return std::nullopt;
    const long long code = ms / kPulseStepMs;
    if (code < kPulseCodeMin || code > kPulseCodeMax) return std::nullopt;
    return static_cast<int>(code);
}

std::string pulseChoices() {
    return std::to_string(kPulseCodeMin * kPulseStepMs) + ", " + std::to_string((kPulseCodeMin + 1) * kPulseStepMs) +
           ", " + std::to_string((kPulseCodeMin + 2) * kPulseStepMs) + " ... " +
           std::to_string(kPulseCodeMax * kPulseStepMs);
}

std::array<int, kPairCount> modeCodes(const BoardSettings& settings) {
    return unpackEncoderModes({settings.modesLow, settings.modesHigh});
}

bool SettingsChange::empty() const {
    return !pulseCode && !hideFlag &&
           std::none_of(modes.begin(), modes.end(), [](const auto& m) { return m.has_value(); });
}

BoardSettings SettingsChange::appliedTo(const BoardSettings& current) const {
    BoardSettings wanted = current;
    auto codes = modeCodes(current);
    for (std::size_t k = 0; k < codes.size(); ++k)
        if (modes[k]) codes[k] = *modes[k];
    const EncoderModeBytes bytes = packEncoderModes(codes);
    wanted.modesLow = bytes.low;
    wanted.modesHigh = bytes.high;
    if (pulseCode) wanted.pulseCode = static_cast<std::uint8_t>(*pulseCode);
    if (hideFlag) wanted.hideFlag = static_cast<std::uint8_t>(*hideFlag);
    return wanted;
}

namespace {

int parsePulse(const std::string& value) {
    std::string_view digits = value;
    if (digits.size() > 2 && digits.substr(digits.size() - 2) == "ms") digits.remove_suffix(2);
    long long ms = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ms);
    const auto code = error == std::errc() && end == digits.data() + digits.size() ? pulseCodeOfMs(ms) : std::nullopt;
    if (!code) badInput("pulse=" + value + ": the pulse length is one of " + pulseChoices() + " ms");
    return *code;
}

}  // namespace

SettingsChange parseAssignments(const std::vector<std::string>& assignments) {
    SettingsChange change;
    for (const std::string& assignment : assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos)
            badInput("\"" + assignment + "\" is no setting: write PAIR=MODE, pulse=MS or hide=on|off");
        const std::string key = assignment.substr(0, equals);
        const std::string value = assignment.substr(equals + 1);
        if (key == "pulse") {
            if (change.pulseCode) badInput("pulse is given twice");
            change.pulseCode = parsePulse(value);
        } else if (key == "hide") {
            if (change.hideFlag) badInput("hide is given twice");
            if (value != "on" && value != "off") badInput("hide=" + value + ": write hide=on or hide=off");
            change.hideFlag = value == "on" ? 1 : 0;
        } else if (const auto pair = pairOf(key)) {
            auto& mode = change.modes[static_cast<std::size_t>(*pair - 1)];
            if (mode) badInput("pair " + key + " is given twice");
            mode = modeCodeOf(value);
            if (!mode) badInput(assignment + ": unknown mode \"" + value + "\"; the modes are OFF, 1:1, 1:2 and 1:4");
        } else {
            badInput("unknown setting \"" + key + "\": the pairs are 1-2, 3-4 ... 15-16, besides pulse and hide");
        }
    }
    return change;
}

}  // namespace korvex::cli
