// Report lengths from a HID report descriptor, as the Windows HID library reports them: the
// longest report of each kind in bytes, plus one byte for the report ID, which is counted even
// when the device numbers no reports. Linux hands us only the raw descriptor, so we parse it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace korvex {

struct ReportLengths {
    std::uint16_t input = 0;    // 0 when the device has no report of that kind
    std::uint16_t output = 0;
    std::uint16_t feature = 0;
};

// Nothing for a descriptor that is malformed: a truncated item, an unbalanced collection or
// pop, a report ID of 0 or above 255, too deep a push, or a report longer than 65534 bytes.
std::optional<ReportLengths> parseReportLengths(std::span<const std::uint8_t> descriptor);

}  // namespace korvex
