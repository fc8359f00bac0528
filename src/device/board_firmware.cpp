#include "device/board_firmware.h"

#include "device/board_commands.h"

#include <algorithm>

namespace korvex {

std::uint8_t BoardFirmware::value(std::uint8_t code) const {
    switch (code) {
    case kCommandHide: return settings_.hideFlag;
    case kCommandModesLow: return settings_.modesLow;
    case kCommandModesHigh: return settings_.modesHigh;
    case kCommandPulse: return settings_.pulseCode;
    default: return 0;
    }
}

void BoardFirmware::store(std::uint8_t code, std::uint8_t value) {
    switch (code) {
    case kCommandHide: settings_.hideFlag = value; break;
    case kCommandModesLow: settings_.modesLow = value; break;
    case kCommandModesHigh: settings_.modesHigh = value; break;
    case kCommandPulse: settings_.pulseCode = value; break;
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
        if (report.size() < 4 || report[2] != kCommandHide) return false;
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
