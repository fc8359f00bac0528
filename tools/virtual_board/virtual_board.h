// A rotary-encoder board on /dev/uhid, answering the configurator with the board's firmware
// model, and a HID device that is no board (for showing that it is left alone).
#pragma once

#include "common/board_console.h"
#include "simulation/board_firmware.h"
#include "uhid_device.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvex::tools {

class VirtualBoard final : public FeatureAnswerer, public ConsoleBoard {
public:
    explicit VirtualBoard(const BoardSetup& setup)
        : serial_(setup.serial), version_(setup.version), silent_(setup.silent) {}

    const std::string& serial() const override { return serial_; }
    UhidDevice& device() { return device_; }
    const BoardFirmware& firmware() const override { return firmware_; }

    // The settings survive an unplug, as they do in the board's own memory.
    bool plug() override;
    void unplug() override { device_.destroy(); }
    void setSilent(bool silent) override { silent_ = silent; }
    // Told every feature request as it arrives: "set" or "get", and the report's bytes.
    void onFeature(std::function<void(const std::string& direction, std::span<const std::uint8_t> report)> log) {
        log_ = std::move(log);
    }
    // The buttons as the firmware reports them, unless the board is silent or unplugged.
    void sendButtons();
    // When a turn's next press or release is due to be sent; nothing while none is, or while
    // the board sends nothing.
    std::optional<std::chrono::steady_clock::time_point> nextReportDue() const {
        if (silent_ || !device_.created()) return std::nullopt;
        return firmware_.nextChange();
    }
    BoardFirmware& firmware() override { return firmware_; }

    // Answered as the firmware model's fault says: in full, short, refused or never.
    std::optional<std::size_t> getFeature(std::uint8_t reportId, std::span<std::uint8_t> report) override;
    bool setFeature(std::uint8_t reportId, std::span<const std::uint8_t> report) override;

private:
    std::string serial_;
    std::uint16_t version_;
    bool silent_;
    BoardFirmware firmware_;
    UhidDevice device_;
    std::function<void(const std::string&, std::span<const std::uint8_t>)> log_;
};

// A three-button mouse from the same maker with another product ID; it refuses feature requests.
class OtherHidDevice final : public FeatureAnswerer {
public:
    bool plug();
    UhidDevice& device() { return device_; }
    std::optional<std::size_t> getFeature(std::uint8_t, std::span<std::uint8_t>) override { return 0; }
    bool setFeature(std::uint8_t, std::span<const std::uint8_t>) override { return false; }

private:
    UhidDevice device_;
};

}  // namespace korvex::tools
