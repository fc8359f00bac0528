// The settings of one board as a small versioned JSON document, for `save` and `load`:
//   {"format": "korvexctl-settings", "version": 1, "product": "5a17:0102", "firmware": "1.14",
//    "serial": "KX0001", "modes": {"1-2": "OFF", ... "15-16": "1:4"}, "pulse_ms": 12, "hide": false}
// Firmware and serial say where the settings came from; any board of the product can take them.
#pragma once

#include "protocol/settings.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace korvex::cli {

inline constexpr const char* kSettingsFormat = "korvexctl-settings";
inline constexpr int kSettingsVersion = 1;

// modes, pulse_ms and hide as `show --json` and the file carry them; null for a value the board
// holds but that has no name (a pulse code of 0, a hide flag of 2).
nlohmann::json settingsJson(const BoardSettings& settings);

std::string settingsDocument(const BoardSettings& settings, const std::string& serial, const std::string& firmware);

// Reads and checks the whole file; throws a bad-input CommandError naming the file and the first
// problem: unreadable, truncated or malformed JSON, another kind of document, a newer version,
// another product, a missing or unknown pair, an unknown mode, a pulse not in the list.
BoardSettings readSettingsFile(const std::string& path);

// A file name given on the command line, in UTF-8: on Windows a narrow name would otherwise be
// taken in the system code page.
inline std::filesystem::path fileFromUtf8(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

}  // namespace korvex::cli
