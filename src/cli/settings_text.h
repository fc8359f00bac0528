// The board's settings as users write them: pairs "1-2" ... "15-16", modes "OFF", "1:1", "1:2",
// "1:4", pulse lengths in milliseconds and the hide flag as on or off.
#pragma once

#include "device/board_commands.h"
#include "protocol/settings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::cli {

std::optional<int> pairOf(std::string_view name);      // "5-6" → 3
std::optional<int> modeCodeOf(std::string_view text);  // "1:2" → 2; "off" as "OFF"
std::optional<int> pulseCodeOfMs(long long ms);        // 12 → 3; nothing unless 4, 8 ... 100
std::string pulseChoices();                            // "4, 8, 12 ... 100"

// The mode code of each pair, pair 1 first.
std::array<int, kPairCount> modeCodes(const BoardSettings& settings);

// The settings a user asked for; what is not named stays as the board holds it.
struct SettingsChange {
    std::array<std::optional<int>, kPairCount> modes;
    std::optional<int> pulseCode;
    std::optional<int> hideFlag;

    bool empty() const;
    BoardSettings appliedTo(const BoardSettings& current) const;
};

// PAIR=MODE, pulse=MS and hide=on|off; throws a bad-input CommandError naming the first problem.
SettingsChange parseAssignments(const std::vector<std::string>& assignments);

}  // namespace korvex::cli
