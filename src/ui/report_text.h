// Plain-text descriptions of the simulated boards' state and traffic for the demo's control window.
#pragma once

#include "device/board_firmware.h"

#include <QString>

#include <cstdint>
#include <span>
#include <string>

namespace korvex::ui {

QString hexBytes(std::span<const std::uint8_t> bytes);
// What a feature report from the configurator asks of the board: "write 8 = 0x10", "select 9" ...
QString describeReport(std::span<const std::uint8_t> report);
QString modeName(const BoardSettings& settings, int pair);  // pair 1 ... 8
QString versionText(std::uint16_t version);                 // 0x0114 -> "1.14"
QString fromUtf16(const std::u16string& text);

}  // namespace korvex::ui
