// One HID device made in the kernel through /dev/uhid: the kernel sees it as if it were plugged
// in, creates its hidraw node, and passes every report request for it to us.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace korvex::tools {

// What answers a device's feature report requests; each report is led by its report ID byte.
class FeatureAnswerer {
public:
    virtual ~FeatureAnswerer() = default;
    // Fills `report` (its size is the device's feature report length) and returns how many of its
    // bytes the device answers: 0 refuses the request, fewer than its size is a short answer.
    // Nothing: the request is never answered, and the kernel fails it after its 5 s wait.
    virtual std::optional<std::size_t> getFeature(std::uint8_t reportId, std::span<std::uint8_t> report) = 0;
    virtual bool setFeature(std::uint8_t reportId, std::span<const std::uint8_t> report) = 0;
};

struct UhidIdentity {
    std::string name;    // becomes HID_NAME
    std::string serial;  // becomes HID_UNIQ
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t version = 0;
    std::span<const std::uint8_t> descriptor;
    std::size_t featureLength = 0;  // bytes of a feature report, report ID byte included
};

class UhidDevice {
public:
    UhidDevice() = default;
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;
    ~UhidDevice() { destroy(); }

    // Plugs the device in; false with errno set when /dev/uhid refuses.
    bool create(const UhidIdentity& identity);
    // Unplugs it: once this returns, its hidraw node is gone.
    void destroy();
    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Sends one input report (without a report ID byte: the device numbers none).
    bool sendInput(std::span<const std::uint8_t> report);
    // Reads one event from the kernel and answers it; false when the device cannot be read.
    bool handleEvent(FeatureAnswerer& answerer);

private:
    int fd_ = -1;
    std::size_t featureLength_ = 0;
};

}  // namespace korvex::tools
