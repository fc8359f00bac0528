#include "protocol/button_report.h"

#include "device/board_commands.h"

#include <algorithm>

namespace korvex {

namespace {

constexpr int kButtons = 16;

std::uint8_t reportIdOf(const InputButtons& layout) {
    return layout.numbered && !layout.buttons.empty() ? layout.buttons.front().reportId : 0;
}

}  // namespace

ButtonReport::ButtonReport() {
    for (int button = 1; button <= kButtons; ++button)
        layout_.buttons.push_back({0, static_cast<std::uint16_t>(button), static_cast<std::uint32_t>(button - 1)});
}

ButtonReport ButtonReport::fromDescriptor(std::span<const std::uint8_t> descriptor) {
    ButtonReport report;
    auto parsed = parseInputButtons(descriptor);
    if (!parsed) return report;
    // One report carries the buttons we show: the first that has any. Buttons outside 1 ... 16
    // are not the board's.
    std::erase_if(parsed->buttons, [](const ButtonBit& bit) { return bit.button < 1 || bit.button > kButtons; });
    if (parsed->buttons.empty()) return report;
    const std::uint8_t id = parsed->buttons.front().reportId;
    std::erase_if(parsed->buttons, [id](const ButtonBit& bit) { return bit.reportId != id; });
    report.layout_ = std::move(*parsed);
    report.described_ = true;
    return report;
}

std::optional<std::uint16_t> ButtonReport::buttonsDown(std::span<const std::uint8_t> report) const {
    if (report.empty() || report[0] != reportIdOf(layout_)) return std::nullopt;
    std::uint16_t down = 0;
    for (const ButtonBit& button : layout_.buttons) {
        const std::size_t byte = 1 + button.bit / 8;  // after the report ID byte
        if (byte >= report.size()) return std::nullopt;
        if ((report[byte] >> (button.bit % 8)) & 1)
            down = static_cast<std::uint16_t>(down | (1u << (button.button - 1)));
    }
    return down;
}

std::vector<std::uint8_t> ButtonReport::reportFor(std::uint16_t down) const {
    std::uint32_t bits = 0;
    for (const ButtonBit& button : layout_.buttons) bits = std::max(bits, button.bit + 1);
    std::vector<std::uint8_t> report(1 + std::max<std::size_t>((bits + 7) / 8, described_ ? 0 : kBoardInputBytes), 0);
    report[0] = reportIdOf(layout_);
    for (const ButtonBit& button : layout_.buttons)
        if ((down >> (button.button - 1)) & 1)
            report[1 + button.bit / 8] =
                static_cast<std::uint8_t>(report[1 + button.bit / 8] | (1u << (button.bit % 8)));
    return report;
}

}  // namespace korvex
