#include "device/board_firmware.h"

#include <algorithm>

namespace korvex {

namespace {
constexpr std::uint8_t kWriteMarker = 0xEE;
constexpr std::uint8_t kFollowUpMarker = 0xB0;
}  // namespace

std::uint8_t BoardFirmware::value(std::uint8_t code) const {
    switch (code) {
    case 1: return settings_.hideFlag;
    case 8: return settings_.modesLow;
    case 9: return settings_.modesHigh;
    case 10: return settings_.pulseCode;
    default: return 0;
    }
}

void BoardFirmware::store(std::uint8_t code, std::uint8_t value) {
    switch (code) {
    case 1: settings_.hideFlag = value; break;
    case 8: settings_.modesLow = value; break;
    case 9: settings_.modesHigh = value; break;
    case 10: settings_.pulseCode = value; break;
    default: break;
    }
}

bool BoardFirmware::receiveFeature(std::span<const std::uint8_t> report) {
    if (report.size() < 2 || report[0] != 0) return false;
    const std::uint8_t marker = report[1];
    if (marker == kWriteMarker) {
        if (report.size() < 4) return false;
        store(report[2], report[3]);
        return true;
    }
    if (marker == kFollowUpMarker) {
        if (report.size() < 4 || report[2] != 1) return false;
        ++followUps_;
        return true;
    }
    selected_ = marker;
    return true;
}

void BoardFirmware::answerFeature(std::span<std::uint8_t> report) const {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    if (report.size() > 1) report[1] = selected_;
    if (report.size() > 2) report[2] = value(selected_);
}

}  // namespace korvex
