#include "demo/report_text.h"

#include "device/board_commands.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <cstdio>

namespace korvex::demo {

namespace {

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Pads `text` with blanks to `width` characters, so the bytes of successive lines align.
std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", byte);
        if (!text.empty()) text += ' ';
        text += part;
    }
    return text;
}

std::string describeReport(std::span<const std::uint8_t> report) {
    if (report.size() < 2) return "short report";
    if (report[1] == kWriteMarker && report.size() >= 4) {
        return "write " + std::to_string(report[2]) + " = " + hexByte(report[3]);
    }
    if (report[1] == kFollowUpMarker && report.size() >= 4) return "follow-up " + hexByte(report[3]);
    return "select " + std::to_string(report[1]);
}

std::string reportLine(const SimCall& call) {
    const std::string what = call.op == SimOp::SetFeature
                                 ? describeReport(call.bytes)
                                 : "  answer " + std::to_string(call.bytes.size() > 2 ? call.bytes[2] : 0);
    std::string line = padded(what, 16) + "  " + hexBytes(call.bytes);
    if (!call.ok) line += "  (failed)";
    return line;
}

std::string modeName(const BoardSettings& settings, int pair) {
    const int code = encoderModeOf({settings.modesLow, settings.modesHigh}, pair);
    return kEncoderModeTexts[static_cast<std::size_t>(code)];
}

std::string settingsText(const BoardFirmware& firmware) {
    const BoardSettings& s = firmware.settings();
    std::string text = "Encoders:";
    for (int pair = 1; pair <= kPairCount; ++pair) {
        text += pair == 5 ? "\n          " : (pair == 1 ? " " : ", ");
        text += pairName(pair) + " " + modeName(s, pair);
    }
    text += "\nPulse: " + std::to_string(kPulseStepMs * s.pulseCode) + " ms (code " + std::to_string(s.pulseCode) +
            ")   Hidden: " + (s.hideFlag ? "yes" : "no") + "   Follow-ups: " + std::to_string(firmware.followUps());
    return text;
}

std::string serialText(const SimDeviceInfo& info) {
    return info.serial ? toUtf8(*info.serial) : std::string("(unreadable)");
}

}  // namespace korvex::demo
