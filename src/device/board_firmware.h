// A model of the board's firmware as seen through its feature reports. The simulated bus, the
// demo and the virtual uhid board all answer the configurator with this one model.
#pragma once

#include <cstdint>
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

class BoardFirmware {
public:
    explicit BoardFirmware(BoardSettings settings = {}) : settings_(settings) {}

    const BoardSettings& settings() const { return settings_; }
    void setSettings(const BoardSettings& settings) { settings_ = settings; }

    // A feature report from the host, byte 0 = report ID 0:
    //   00 EE code value ...  write: stores the value of that command
    //   00 B0 01 value ...    follow-up of the hide-flag write: accepted
    //   00 code ...           select: the next get-feature answers that command's value
    // Returns false for a report the firmware does not understand (it is ignored).
    bool receiveFeature(std::span<const std::uint8_t> report);

    // Fills `report` (byte 0 = report ID 0) with the selected command's value at byte 2.
    void answerFeature(std::span<std::uint8_t> report) const;

    // The value the board keeps for a command code; 0 for codes it does not know.
    std::uint8_t value(std::uint8_t code) const;

    // Count of follow-up reports accepted, for observers of the protocol.
    unsigned followUps() const { return followUps_; }

private:
    void store(std::uint8_t code, std::uint8_t value);

    BoardSettings settings_;
    std::uint8_t selected_ = 0;
    unsigned followUps_ = 0;
};

}  // namespace korvex
