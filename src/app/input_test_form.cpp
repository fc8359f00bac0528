#include "app/input_test_form.h"

namespace korvex::app {

namespace {

// Laid out in pixels at 96 DPI, as the main window was; each pixel is 15 twips.
Twips px(int left, int top, int width, int height) {
    return {left * kTwipsPerPixel, top * kTwipsPerPixel, width * kTwipsPerPixel, height * kTwipsPerPixel};
}

constexpr int kGroupWidth = 272, kGroupHeight = 84, kColumnStep = 280, kRowStep = 90, kGroupsTop = 30;

TestFormTable build() {
    TestFormTable form{.name = "frmTest", .client = px(0, 0, 568, 592), .rows = {}};
    auto& rows = form.rows;
    rows.push_back({.part = TestPart::Status, .name = "lblStatus", .rect = px(8, 8, 552, 18)});
    // Pairs 1-4 down the left column and 5-8 down the right, as the main window lists them.
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const int left = 8 + (pair - 1) / 4 * kColumnStep, top = kGroupsTop + (pair - 1) % 4 * kRowStep;
        const std::string n = std::to_string(pair);
        const std::string buttons = "buttons " + pairName(pair);
        rows.push_back({.part = TestPart::PairGroup,
                        .pair = pair,
                        .name = "Pair" + n,
                        .rect = px(left, top, kGroupWidth, kGroupHeight)});
        for (int k = 0; k < 2; ++k) {
            const int button = 2 * pair - 1 + k;
            rows.push_back({.part = TestPart::Lamp,
                            .pair = pair,
                            .button = button,
                            .name = "Lamp" + std::to_string(button),
                            .caption = std::to_string(button),
                            .rect = px(left + 10 + 32 * k, top + 22, 28, 22)});
        }
        rows.push_back({.part = TestPart::BackArrow,
                        .pair = pair,
                        .name = "Back" + n,
                        .caption = "\u2190",
                        .rect = px(left + 84, top + 22, 24, 22)});
        rows.push_back({.part = TestPart::ForwardArrow,
                        .pair = pair,
                        .name = "Forward" + n,
                        .caption = "\u2192",
                        .rect = px(left + 112, top + 22, 24, 22)});
        rows.push_back({.part = TestPart::Count,
                        .pair = pair,
                        .name = "Count" + n,
                        .rect = px(left + 144, top + 24, 116, 18),
                        .accessibleName = "Step count, " + buttons});
        rows.push_back({.part = TestPart::Pulses,
                        .pair = pair,
                        .name = "Pulses" + n,
                        .rect = px(left + 8, top + 48, 258, 16),
                        .accessibleName = "Pulse lengths, " + buttons});
        rows.push_back({.part = TestPart::Glitches,
                        .pair = pair,
                        .name = "Glitches" + n,
                        .rect = px(left + 8, top + 65, 258, 16),
                        .accessibleName = "Glitches, " + buttons});
    }
    const int below = kGroupsTop + 4 * kRowStep;
    rows.push_back({.part = TestPart::ResetButton,
                    .name = "cmdReset",
                    .caption = "&Reset",
                    .rect = px(8, below, 96, 26),
                    .tabPosition = 0,
                    .accessibleName = "Reset counts and log"});
    rows.push_back({.part = TestPart::CopyButton,
                    .name = "cmdCopyLog",
                    .caption = "&Copy log",
                    .rect = px(112, below, 96, 26),
                    .tabPosition = 1,
                    .accessibleName = "Copy the log"});
    rows.push_back({.part = TestPart::Log,
                    .name = "txtLog",
                    .rect = px(8, below + 34, 552, 592 - below - 42),
                    .tabPosition = 2,
                    .accessibleName = "Events"});
    return form;
}

}  // namespace

const TestFormTable& inputTestForm() {
    static const TestFormTable form = build();
    return form;
}

std::string textOf(const TestRow& row, const InputTestShown& shown) {
    const PairShown* pair = row.pair ? &shown.pairs[static_cast<std::size_t>(row.pair - 1)] : nullptr;
    switch (row.part) {
    case TestPart::Status: return shown.status;
    case TestPart::PairGroup: return pair->caption;
    case TestPart::Count: return pair->count;
    case TestPart::Pulses: return pair->encoder ? pair->pulses : std::string("Plain buttons");
    case TestPart::Glitches: return pair->glitches;
    case TestPart::Log: return shown.log;
    case TestPart::Lamp:
    case TestPart::ForwardArrow:
    case TestPart::BackArrow:
    case TestPart::ResetButton:
    case TestPart::CopyButton: break;
    }
    return row.caption;
}

bool litOf(const TestRow& row, const InputTestShown& shown) {
    if (!row.pair) return false;
    const PairShown& pair = shown.pairs[static_cast<std::size_t>(row.pair - 1)];
    switch (row.part) {
    case TestPart::Lamp: return pair.down[static_cast<std::size_t>((row.button - 1) % 2)];
    case TestPart::ForwardArrow: return pair.steppedForward;
    case TestPart::BackArrow: return pair.steppedBack;
    default: return false;
    }
}

std::string accessibleNameOf(const TestRow& row, const InputTestShown& shown) {
    const std::string buttons = row.pair ? "buttons " + pairName(row.pair) : std::string();
    switch (row.part) {
    case TestPart::Lamp: return "Button " + row.caption + (litOf(row, shown) ? ", down" : ", up");
    case TestPart::ForwardArrow: return "Step forward, " + buttons + (litOf(row, shown) ? ", lit" : "");
    case TestPart::BackArrow: return "Step back, " + buttons + (litOf(row, shown) ? ", lit" : "");
    case TestPart::PairGroup: return textOf(row, shown);
    case TestPart::Status: return textOf(row, shown);
    default: return row.accessibleName;
    }
}

}  // namespace korvex::app
