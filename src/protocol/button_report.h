// Where the sixteen buttons lie in an input report, both ways: a report read from the board to
// the buttons down (bit b-1 for button b), and the buttons to the report that carries them.
#pragma once

#include "device/report_descriptor.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvex {

class ButtonReport {
public:
    // The board's own layout, as its firmware sends it: report ID byte 0, then buttons 1 to 8 in
    // one byte (bit 0 = button 1), then 9 to 16. What a system that hands out no report
    // descriptor (Windows) gets.
    ButtonReport();
    // The buttons the descriptor describes; the board's own layout when it describes no button.
    static ButtonReport fromDescriptor(std::span<const std::uint8_t> descriptor);

    bool described() const { return described_; }  // taken from a report descriptor
    std::size_t buttonCount() const { return layout_.buttons.size(); }

    // The buttons down in a report led by its report ID byte; nothing for a report that does not
    // carry the buttons (another report ID) or is too short to hold all of them, so a cut report
    // never reads as buttons let go. Buttons above 16 are left out.
    std::optional<std::uint16_t> buttonsDown(std::span<const std::uint8_t> report) const;
    // The report, led by its ID byte, that tells `down`: what a board with this layout sends.
    std::vector<std::uint8_t> reportFor(std::uint16_t down) const;

private:
    InputButtons layout_;
    bool described_ = false;
};

}  // namespace korvex
