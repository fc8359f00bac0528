#include "device/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvex {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<ReportLengths> lengths(const Bytes& descriptor) { return parseReportLengths(descriptor); }

void expectLengths(const Bytes& descriptor, std::uint16_t input, std::uint16_t output, std::uint16_t feature) {
    const auto parsed = lengths(descriptor);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->input, input);
    EXPECT_EQ(parsed->output, output);
    EXPECT_EQ(parsed->feature, feature);
}

// A gamepad: two 8-bit axes, twelve buttons and four bits of padding, no report IDs.
// clang-format off
const Bytes kGamepad = {
    0x05, 0x01, 0x09, 0x05, 0xA1, 0x01,              // Generic Desktop, Game Pad, Application
    0x09, 0x01, 0xA1, 0x00,                          //   Pointer, Physical
    0x09, 0x30, 0x09, 0x31, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x02, 0x81, 0x02,              //     X, Y: 2 x 8 bits
    0xC0,                                            //   End Collection
    0x05, 0x09, 0x19, 0x01, 0x29, 0x0C, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x0C, 0x81, 0x02,              //   12 buttons
    0x75, 0x04, 0x95, 0x01, 0x81, 0x03,              //   padding
    0xC0,
};
// clang-format on

// A keyboard (report 1, with LEDs) and consumer keys (report 2) in one descriptor.
// clang-format off
const Bytes kKeyboardWithIds = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01,  // Keyboard, report 1
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02,              //   modifiers
    0x75, 0x08, 0x95, 0x01, 0x81, 0x01,              //   reserved byte
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05,
    0x75, 0x01, 0x95, 0x05, 0x91, 0x02,              //   five LEDs
    0x75, 0x03, 0x95, 0x01, 0x91, 0x01,              //   LED padding
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x06, 0x81, 0x00,              //   six key codes
    0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,  // Consumer Control, report 2
    0x19, 0x00, 0x2A, 0x3C, 0x02, 0x15, 0x00, 0x26, 0x3C, 0x02,
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,              //   one 16-bit usage
    0xC0,
};
// clang-format on

// A vendor-defined board: 64-byte input, output and feature reports, no report IDs.
// clang-format off
const Bytes kVendorBoard = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96, 0x40, 0x00,
    0x09, 0x01, 0x81, 0x02,
    0x09, 0x02, 0x91, 0x02,
    0x09, 0x03, 0xB1, 0x02,
    0xC0,
};
// clang-format on

TEST(ReportLengths, RealisticDescriptorsGiveTheWindowsLengths) {
    expectLengths(kGamepad, 5, 0, 0);
    // The longest numbered report sets the length; its ID byte is the extra one.
    expectLengths(kKeyboardWithIds, 9, 2, 0);
    expectLengths(kVendorBoard, 65, 65, 65);
}

TEST(ReportLengths, AReportSplitOverSeveralMainItemsAndCollectionsIsSummed) {
    const Bytes descriptor = {
        0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x95, 0x02, 0xB1, 0x02,  // report 3: 16 bits
        0x85, 0x04, 0x95, 0x05, 0xB1, 0x02,                          // report 4: 40 bits
        0xA1, 0x02, 0x85, 0x03, 0x95, 0x05, 0xB1, 0x02,              // report 3 again: 40 more bits, 56 in all
        0xC0, 0xC0,
    };
    expectLengths(descriptor, 0, 0, 8);
}

TEST(ReportLengths, PushAndPopRestoreSizeCountAndId) {
    const Bytes descriptor = {
        0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x01,
        0xA4,                                // push: report 1, 1 x 8 bits
        0x85, 0x02, 0x95, 0x10, 0x81, 0x02,  // report 2: 16 bytes
        0xB4,                                // pop
        0x81, 0x02, 0x81, 0x02,              // report 1: two single bytes, not sixteen
        0xC0,
    };
    expectLengths(descriptor, 17, 0, 0);
    const Bytes popped = {0xA1, 0x01, 0x75, 0x08, 0xA4, 0x95, 0x03, 0xB4, 0x95, 0x02, 0x81, 0x02, 0xC0};
    expectLengths(popped, 3, 0, 0);  // the count set after the push is gone
}

TEST(ReportLengths, ItemSizesOfEveryKindAreRead) {
    const Bytes descriptor = {
        0xFE, 0x02, 0x10, 0xAA, 0xBB,              // a long item, skipped whole
        0xA1, 0x01, 0x77, 0x08, 0x00, 0x00, 0x00,  // report size in four bytes
        0x96, 0x00, 0x01,                          // report count 256 in two bytes
        0x0B, 0x01, 0x00, 0x00, 0xFF,              // a four-byte local usage
        0xB1, 0x02, 0xC0,
    };
    expectLengths(descriptor, 0, 0, 257);
    expectLengths({0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0xC0}, 2, 0, 0);  // bits round up
    expectLengths({}, 0, 0, 0);
}

TEST(ReportLengths, MalformedDescriptorsAreRefused) {
    EXPECT_FALSE(lengths({0xA1, 0x01, 0x26, 0xFF}));                          // item cut short
    EXPECT_FALSE(lengths({0xA1, 0x01, 0x77, 0x08, 0x00}));                    // four-byte item cut short
    EXPECT_FALSE(lengths({0xFE, 0x05, 0x10, 0x00}));                          // long item cut short
    EXPECT_FALSE(lengths({0xFE, 0x00}));                                      // long item header cut short
    EXPECT_FALSE(lengths({0xB4}));                                            // pop without push
    EXPECT_FALSE(lengths({0xC0}));                                            // end without collection
    EXPECT_FALSE(lengths({0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}));  // collection left open
    EXPECT_FALSE(lengths({0x85, 0x00}));                                      // report ID 0 is reserved
    EXPECT_FALSE(lengths({0x86, 0x00, 0x01}));                                // report ID above 255
    Bytes deepPush(17, 0xA4);
    EXPECT_FALSE(lengths(deepPush));
    // 0xFFFFFFFF x 0xFFFFFFFF bits would overflow a 16-bit length (and nearly 64 bits).
    EXPECT_FALSE(lengths({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}));
    // A report that grows past 65534 bytes over many items is refused too.
    Bytes growing = {0x75, 0x08, 0x96, 0xFF, 0x7F};
    for (int i = 0; i < 3; ++i) growing.insert(growing.end(), {0xB1, 0x02});
    EXPECT_FALSE(lengths(growing));
}

TEST(ReportLengths, TheLongestReportThatFitsIsAccepted) {
    // 65534 bytes of feature report give the largest length a 16-bit field holds.
    expectLengths({0x75, 0x08, 0x96, 0xFE, 0xFF, 0xB1, 0x02}, 0, 0, 65535);
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

std::vector<std::pair<int, int>> buttonBits(const Bytes& descriptor) {
    std::vector<std::pair<int, int>> out;  // (button, bit)
    const auto parsed = parseInputButtons(descriptor);
    if (!parsed) return out;
    for (const ButtonBit& b : parsed->buttons) out.emplace_back(b.button, b.bit);
    return out;
}

TEST(InputButtons, ButtonsAreFoundAfterOtherFieldsAndPaddingIsSkipped) {
    // The gamepad's buttons follow its two 8-bit axes; its padding names no button.
    const auto gamepad = buttonBits(kGamepad);
    ASSERT_EQ(gamepad.size(), 12u);
    EXPECT_EQ(gamepad.front(), std::pair(1, 16));
    EXPECT_EQ(gamepad.back(), std::pair(12, 27));
    EXPECT_FALSE(parseInputButtons(kGamepad)->numbered);

    // The keyboard's one-bit modifiers are keys, not buttons; its reports are numbered.
    const auto keyboard = parseInputButtons(kKeyboardWithIds);
    ASSERT_TRUE(keyboard);
    EXPECT_TRUE(keyboard->numbered);
    EXPECT_TRUE(keyboard->buttons.empty());

    // Buttons named one by one, a 4-byte usage with its own page, and a report ID.
    const Bytes named = {0xA1, 0x01, 0x85, 0x07, 0x05, 0x09, 0x09, 0x03, 0x0B, 0x05, 0x00, 0x09,
                         0x00, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0};
    const auto parsed = parseInputButtons(named);
    ASSERT_TRUE(parsed && parsed->buttons.size() == 3u);
    EXPECT_EQ(parsed->buttons[0].reportId, 7);
    EXPECT_EQ(buttonBits(named), (std::vector<std::pair<int, int>>{{3, 0}, {5, 1}, {5, 2}}));

    EXPECT_FALSE(parseInputButtons(Bytes{0xA1, 0x01}));  // refused as parseReportLengths refuses it
}

}  // namespace
}  // namespace korvex
