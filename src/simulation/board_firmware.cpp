#include "simulation/board_firmware.h"

#include "device/board_commands.h"

#include <algorithm>

namespace korvex {

namespace {
constexpr std::uint8_t kBoardReportDescriptor[] = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x04,        // Usage (Joystick)
    0xA1, 0x01,        // Collection (Application)
    0x05, 0x09,        //   Usage Page (Button)
    0x19, 0x01,        //   Usage Minimum (1)
    0x29, 0x10,        //   Usage Maximum (16)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x10,        //   Report Count (16)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x06, 0x00, 0xFF,  //   Usage Page (Vendor 0xFF00)
    0x09, 0x01,        //   Usage (1)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};
}  // namespace

std::span<const std::uint8_t> boardReportDescriptor() { return kBoardReportDescriptor; }

void BoardFirmware::pulseButton(int button) {
    if (button < 1 || button > 16) return;
    pulses_.push_back(static_cast<std::uint16_t>(held_ | (1u << (button - 1))));
    pulses_.push_back(held_);
}

bool BoardFirmware::turn(int pair, int steps, double rate, Clock::time_point start) {
    if (pair < 1 || pair > 8 || !(rate > 0) || rate > 1000) return false;
    // The board's pulse codes run from 1 to 25 (4 to 100 ms); a value outside is taken as the
    // nearest, so a turn always makes pulses the computer can see.
    const int code = std::clamp<int>(settings_.pulseCode, 1, 25);
    const auto pulse = std::chrono::milliseconds(4 * code);
    const auto period = std::max<Clock::duration>(
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate)), 2 * pulse);
    const int button = steps >= 0 ? 2 * pair - 1 : 2 * pair;
    const auto bit = static_cast<std::uint16_t>(1u << (button - 1));
    Clock::time_point press = start;
    // After the last change already planned, with the button up for a pulse's length between.
    if (!schedule_.empty()) press = std::max(press, schedule_.back().time + pulse);
    for (int step = 0; step < (steps >= 0 ? steps : -steps); ++step, press += period) {
        schedule_.push_back({press, bit});
        schedule_.push_back({press + pulse, 0});
    }
    return true;
}

std::uint16_t BoardFirmware::buttonsAt(Clock::time_point time) const {
    std::uint16_t turned = turnDown_;
    for (const TimedButtons& change : schedule_) {
        if (change.time > time) break;
        turned = change.down;
    }
    return held_ | turned;
}

std::optional<BoardFirmware::Clock::time_point> BoardFirmware::nextChange() const {
    if (schedule_.empty()) return std::nullopt;
    return schedule_.front().time;
}

std::array<std::uint8_t, kBoardInputBytes> BoardFirmware::nextInputReport(Clock::time_point now) {
    std::uint16_t down = held_ | turnDown_;
    if (!pulses_.empty()) {
        down = pulses_.front() | turnDown_;
        pulses_.pop_front();
    } else if (!schedule_.empty() && schedule_.front().time <= now) {
        turnDown_ = schedule_.front().down;
        schedule_.pop_front();
        down = held_ | turnDown_;
    }
    return {static_cast<std::uint8_t>(down & 0xFF), static_cast<std::uint8_t>(down >> 8)};
}

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
    if (fault_ == FeatureFault::Refuse) return false;
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

std::size_t BoardFirmware::answerFeature(std::span<std::uint8_t> report) const {
    if (fault_ == FeatureFault::Refuse || fault_ == FeatureFault::Hang) return 0;
    const std::size_t answered =
        fault_ == FeatureFault::Short ? std::min(report.size(), kShortAnswerBytes) : report.size();
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    if (answered > 1) report[1] = selected_;
    if (answered > 2) report[2] = value(selected_);
    return answered;
}

}  // namespace korvex
