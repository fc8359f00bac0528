// Report lengths from a HID report descriptor, as the Windows HID library reports them: the
// longest report of each kind in bytes, plus one byte for the report ID, which is counted even
// when the device numbers no reports. Linux hands us only the raw descriptor, so we parse it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvex {

struct ReportLengths {
    std::uint16_t input = 0;  // 0 when the device has no report of that kind
    std::uint16_t output = 0;
    std::uint16_t feature = 0;
};

// Nothing for a descriptor that is malformed: a truncated item, an unbalanced collection or
// pop, a report ID of 0 or above 255, too deep a push, or a report longer than 65534 bytes.
std::optional<ReportLengths> parseReportLengths(std::span<const std::uint8_t> descriptor);

// Where one button's state lies in an input report, for showing which buttons are down.
struct ButtonBit {
    std::uint8_t reportId = 0;  // 0 when the device numbers no reports
    std::uint16_t button = 0;   // the usage on the Button page: button 1, 2 ...
    std::uint32_t bit = 0;      // offset in the report, counted from the byte after the report ID
};

struct InputButtons {
    bool numbered = false;           // reports are led by a report ID of their own
    std::vector<ButtonBit> buttons;  // one-bit variable inputs on the Button page, in report order
};

// The buttons of every input report; nothing for a descriptor parseReportLengths refuses. Buttons
// sent as arrays (a list of pressed usages) are not described.
std::optional<InputButtons> parseInputButtons(std::span<const std::uint8_t> descriptor);

}  // namespace korvex
