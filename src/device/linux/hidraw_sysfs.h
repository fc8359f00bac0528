// What sysfs and udev tell about hidraw nodes: the nodes present, and for one node the HID device
// above it (IDs, name, serial) and its USB device if it has one.
#pragma once

#include "device/linux/hidraw_text.h"

#include <sys/types.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct udev;

namespace korvex {

struct UdevDeleter {
    void operator()(udev* context) const;
};
using UdevContext = std::unique_ptr<udev, UdevDeleter>;

// Null when udev is unavailable.
UdevContext openUdev();

// One hidraw interface present. `identity` is the inode number of its entry in /sys/class/hidraw:
// a device plugged in later never has the identity of one gone, even when it gets the same node.
struct HidrawEntry {
    std::string node;  // "/dev/hidrawN"
    std::uint64_t identity = 0;
};

// Every hidraw interface present, in the order of their device numbers, from one directory
// listing (no file of any device is read).
std::vector<HidrawEntry> listHidraw();

// The identity of node "/dev/hidrawN" now; 0 when no such interface is present.
std::uint64_t hidrawIdentity(const std::string& node);

struct HidrawDescription {
    HidIds ids;
    std::string name;    // HID_NAME
    std::string serial;  // HID_UNIQ; empty when the device has none
    bool usbParent = false;
    std::optional<std::string> usbManufacturer, usbProduct;  // the USB device's string attributes
    std::optional<std::uint16_t> release;                    // bcdDevice, or the version of the HID's input device
};

// The HID device behind the hidraw node with this device number; nothing if it is gone or
// carries no valid HID_ID.
std::optional<HidrawDescription> describeHidraw(udev* context, dev_t number);

}  // namespace korvex
