// The operations through which the configurator reaches HID devices. One implementation per
// operating system (hidraw + udev, SetupAPI + the HID library) and a simulated bus; callers never
// see which one they got. Calls on one handle come from one thread at a time; calls on different
// handles may come from different threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace korvex {

using HidHandle = std::intptr_t;
inline constexpr HidHandle kInvalidHandle = -1;

// Vendor and product of the board this configurator serves.
inline constexpr std::uint16_t kBoardVendorId = 0x5A17;
inline constexpr std::uint16_t kBoardProductId = 0x0102;

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t releaseNumber = 0;  // release number: major in the high byte, minor in the low
};

// The two report lengths the configurator uses, as the Windows HID library defines them: the
// longest report of that kind plus one byte for the report ID, present (as 0) even when the
// device numbers no reports.
struct HidCaps {
    std::uint16_t inputReportLength = 0;
    std::uint16_t featureReportLength = 0;
};

enum class HidString { SerialNumber, Manufacturer, Product };

// Outcome of a bounded wait for one input report.
enum class InputRead {
    Report,   // one input report was read
    NoneYet,  // the bound passed with no report; the handle is still valid
    Gone,     // the read failed or the device vanished
};

// One walk over the HID interfaces present when it was taken; released when destroyed.
class HidInterfaceWalk {
public:
    virtual ~HidInterfaceWalk() = default;
    // The path of interface `index` (0, 1, 2 ...); false once there are no more.
    virtual bool interfacePath(std::uint32_t index, std::string& path) = 0;
};

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // Never null; an unavailable enumeration yields a walk whose first call fails.
    virtual std::unique_ptr<HidInterfaceWalk> walkInterfaces() = 0;

    // Opens for reading and writing; kInvalidHandle on failure.
    virtual HidHandle open(const std::string& path) = 0;
    // Why the calling thread's last open() failed on a node that is one of our boards: the
    // system's error (errno on Linux, GetLastError on Windows), for example "permission denied".
    // 0 after a successful open, and after a node passed over because it is some other device.
    virtual int lastOpenError() const = 0;
    virtual void close(HidHandle handle) = 0;

    virtual bool getAttributes(HidHandle handle, HidAttributes& attributes) = 0;
    // The device's string, as UTF-8; false when it has none or it cannot be read.
    virtual bool getString(HidHandle handle, HidString which, std::string& text) = 0;
    // False leaves `caps` as they were.
    virtual bool getCaps(HidHandle handle, HidCaps& caps) = 0;

    // Feature reports of report.size() bytes, byte 0 = report ID 0 both ways.
    virtual bool setFeature(HidHandle handle, std::span<const std::uint8_t> report) = 0;
    // The bytes the device answered, report ID included, never more than report.size(); 0 when the
    // request failed. The bytes past the answer are zero: a short answer is never padded with
    // what the buffer held before.
    virtual std::size_t getFeature(HidHandle handle, std::span<std::uint8_t> report) = 0;

    // The system's error (errno on Linux, GetLastError on Windows) of the last call that failed on
    // the calling thread; 0 when the system gave none.
    virtual int lastError() const = 0;

    // Waits at most `bound` for one input report of at most buffer.size() bytes, led by its report
    // ID byte (0 when the device numbers no reports) on every system, as the HID library gives it.
    virtual InputRead readInput(HidHandle handle, std::span<std::uint8_t> buffer, std::chrono::milliseconds bound) = 0;

    // The open device's raw report descriptor. False where the system hands out none: the
    // Windows HID library describes reports only through its own parsed data.
    virtual bool getReportDescriptor(HidHandle /*handle*/, std::vector<std::uint8_t>& /*descriptor*/) { return false; }
};

// The operating system's own HID access (hidraw on Linux, the HID library on Windows).
std::unique_ptr<HidPlatform> makeSystemHidPlatform();

}  // namespace korvex
