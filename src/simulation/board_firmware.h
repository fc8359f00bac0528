// A model of the board's firmware as seen through its feature reports. The simulated bus, the
// demo and the virtual uhid board all answer the configurator with this one model.
#pragma once

#include "device/board_commands.h"
#include "protocol/settings.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace korvex {

// The board's report descriptor: a joystick application collection (so that operating systems list
// it among gaming devices, and Linux makes an input device that tells its release number) holding
// sixteen buttons in one 2-byte input report, and an 8-byte vendor feature report that carries the
// configuration protocol. No report IDs: with the ID byte, 3 and 9 bytes.
std::span<const std::uint8_t> boardReportDescriptor();

// A fault of the firmware's feature handling, as a board with a firmware fault shows it. The
// configurator must survive each: never freeze on it, never show or write a value it did not read.
enum class FeatureFault {
    None,
    Refuse,  // every feature request fails at once (a stall on USB)
    Short,   // a get-feature is answered with the report ID and the echoed command only: 2 bytes
    Hang,    // a get-feature is never answered: the host's request waits for its system's timeout
};
inline constexpr std::size_t kShortAnswerBytes = 2;

class BoardFirmware {
public:
    explicit BoardFirmware(BoardSettings settings = {}) : settings_(settings) {}

    const BoardSettings& settings() const { return settings_; }
    void setSettings(const BoardSettings& settings) { settings_ = settings; }

    // A feature report from the host, byte 0 = report ID 0:
    //   00 EE code value ...  write: stores the value of that command
    //   00 B0 01 value ...    follow-up of the hide-flag write: accepted
    //   00 code ...           select: the next get-feature answers that command's value
    // Returns false for a report the firmware does not understand (it is ignored), and for every
    // report while it refuses them.
    bool receiveFeature(std::span<const std::uint8_t> report);

    // Fills `report` (byte 0 = report ID 0) with the selected command's value at byte 2. Returns
    // the bytes it answered, report ID included: report.size(), fewer when it answers short, and 0
    // when it refuses or hangs (nothing answered).
    std::size_t answerFeature(std::span<std::uint8_t> report) const;

    FeatureFault fault() const { return fault_; }
    void setFault(FeatureFault fault) { fault_ = fault; }

    // The value the board keeps for a command code; 0 for codes it does not know.
    std::uint8_t value(std::uint8_t code) const;

    using Clock = std::chrono::steady_clock;

    // Buttons held down, bit b-1 for button b; each input report tells them.
    void holdButtons(std::uint16_t down) { held_ = down; }
    // One pulse on a button, as an encoder turned by one step gives it: one report with the
    // button down, then the held buttons again.
    void pulseButton(int button);
    // Turns the encoder on `pair` (1 ... 8) by `steps`, from `start` on: one press of the pair's
    // first button per step for positive steps, of its second for negative ones, each as long as
    // the pulse length the board holds now, at `rate` steps per second. A rate the pulse length
    // cannot reach is slowed down: between two presses the button stays up at least as long as
    // a pulse, or the computer could not tell them apart. A turn given while another is still
    // going starts after it. False, and nothing scheduled, for a pair or rate out of range.
    bool turn(int pair, int steps, double rate = 10.0, Clock::time_point start = Clock::now());
    // The buttons down at `time`, as bits 0-15: the held buttons and the turn's presses.
    std::uint16_t buttonsAt(Clock::time_point time) const;
    // When the turn's next change of the buttons is due, if one is still to be reported; it may
    // lie in the past when a report was late. A board program sends a report then.
    std::optional<Clock::time_point> nextChange() const;
    // Pulses given by pulseButton() still to be reported: the next report tells one at once.
    bool pulsing() const { return !pulses_.empty(); }
    // The next input report's bytes (without the report ID byte): buttons 1 to 8, then 9 to 16.
    // A pulse goes first; otherwise it tells one change of a turn at a time, the oldest due by
    // `now` first, so a program that wakes late still reports every press and release, in order.
    std::array<std::uint8_t, kBoardInputBytes> nextInputReport(Clock::time_point now = Clock::now());
    // The buttons held now, as a host's request for the input report gets them; takes no pulse.
    std::array<std::uint8_t, kBoardInputBytes> currentInputReport() const {
        const std::uint16_t down = held_ | turnDown_;
        return {static_cast<std::uint8_t>(down & 0xFF), static_cast<std::uint8_t>(down >> 8)};
    }

    // Count of follow-up reports accepted, for observers of the protocol.
    unsigned followUps() const { return followUps_; }

private:
    void store(std::uint8_t code, std::uint8_t value);

    BoardSettings settings_;
    FeatureFault fault_ = FeatureFault::None;
    std::uint8_t selected_ = 0;
    unsigned followUps_ = 0;
    std::uint16_t held_ = 0;
    std::deque<std::uint16_t> pulses_;  // button states still to be reported, oldest first
    struct TimedButtons {
        Clock::time_point time;
        std::uint16_t down;  // the turn's buttons down from `time` on
    };
    std::deque<TimedButtons> schedule_;  // the turn's changes not reported yet, oldest first
    std::uint16_t turnDown_ = 0;         // the turn's buttons down as last reported
};

}  // namespace korvex
