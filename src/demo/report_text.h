// Plain-text descriptions of simulated boards and their traffic, shared by the demos' control
// windows whatever their toolkit. Every text is UTF-8.
#pragma once

#include "simulation/board_firmware.h"
#include "simulation/simulated_bus.h"

#include <cstdint>
#include <span>
#include <string>

namespace korvex::demo {

std::string hexBytes(std::span<const std::uint8_t> bytes);  // "00 EE 08 10"
// What a feature report from the configurator asks of the board: "write 8 = 0x10", "select 9" ...
std::string describeReport(std::span<const std::uint8_t> report);
// One line of a board's traffic: what was asked and its bytes, or the board's answer.
std::string reportLine(const SimCall& call);
std::string modeName(const BoardSettings& settings, int pair);  // pair 1 ... 8: "OFF" ... "1:4"
// The board's settings on three lines: the eight pairs, then pulse, hide flag and follow-ups.
std::string settingsText(const BoardFirmware& firmware);
std::string serialText(const SimDeviceInfo& info);  // the serial in UTF-8, or "(unreadable)"

}  // namespace korvex::demo
