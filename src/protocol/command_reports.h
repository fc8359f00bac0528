// The feature reports the board understands. Every report is exactly L bytes, L being the board's
// featureReportLength, with byte 0 = report ID 0:
//   write     00 EE code value 00 ...
//   select    00 code 00 ...            (the next get-feature answers that value at byte 2)
//   follow-up 00 B0 01 value 00 ...     (after the hide-flag write)
#pragma once

#include "device/board_commands.h"
#include "device/device_session.h"
#include "device/hid_platform.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace korvex {

// The feature lengths the configurator talks to: a write report needs 4 bytes, and a response
// must fit the 66-byte featureResponse. A board outside these is opened and shown but its
// settings are neither read nor written.
inline constexpr int kMinFeatureLength = 4;
inline constexpr int kMaxFeatureLength = static_cast<int>(kFeatureResponseBytes);

bool featureLengthSupported(const HidCaps& caps);

// Report layouts, L bytes each.
std::vector<std::uint8_t> writeReport(int length, std::uint8_t code, std::uint8_t value);
std::vector<std::uint8_t> selectReport(int length, std::uint8_t code);
// Turns a command-1 write report into its follow-up in place: bytes 0 and 1 change, the rest stay.
void makeFollowUp(std::vector<std::uint8_t>& report);

// Sends one write report on the open board; false if the board's length is unsupported or the
// request failed.
bool sendCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code, std::uint8_t value);

// Where the board answers a select report's value: byte 2, after the report ID and the command.
inline constexpr std::size_t kValueByte = 2;

// A select report for `code`, then one get-feature into featureResponse (cleared first).
// The value at byte 2, or nothing when the length is unsupported, either request failed, or the
// answer was too short to hold the value byte.
std::optional<std::uint8_t> queryCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code);

}  // namespace korvex
