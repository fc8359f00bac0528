// A model of the board's firmware as seen through its feature reports. The simulated bus, the
// demo and the virtual uhid board all answer the configurator with this one model.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace korvex {

struct BoardSettings {
    std::uint8_t modesLow = 0;   // command 8: bit k-1 = bit 0 of pair k's encoder mode
    std::uint8_t modesHigh = 0;  // command 9: bit k-1 = bit 1 of pair k's encoder mode
    std::uint8_t pulseCode = 1;  // command 10: pulse lasts 4 ms x code
    std::uint8_t hideFlag = 0;   // command 1: 1 hides the board from the gaming devices list

    bool operator==(const BoardSettings&) const = default;
};

// The board's report descriptor: a joystick application collection (so that operating systems list
// it among gaming devices, and Linux makes an input device that tells its release number) holding
// sixteen buttons in one 2-byte input report, and an 8-byte vendor feature report that carries the
// configuration protocol. No report IDs: with the ID byte, 3 and 9 bytes.
std::span<const std::uint8_t> boardReportDescriptor();
inline constexpr std::size_t kBoardInputBytes = 2;  // without the report ID byte

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

    // Buttons held down, bit b-1 for button b; each input report tells them.
    void holdButtons(std::uint16_t down) { held_ = down; }
    // One pulse on a button, as an encoder turned by one step gives it: one report with the
    // button down, then the held buttons again.
    void pulseButton(int button);
    // The next input report's bytes (without the report ID byte): buttons 1 to 8, then 9 to 16.
    std::array<std::uint8_t, kBoardInputBytes> nextInputReport();
    // The buttons held now, as a host's request for the input report gets them; takes no pulse.
    std::array<std::uint8_t, kBoardInputBytes> currentInputReport() const {
        return {static_cast<std::uint8_t>(held_ & 0xFF), static_cast<std::uint8_t>(held_ >> 8)};
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
};

}  // namespace korvex
