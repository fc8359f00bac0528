#include "device/linux/hidraw_sysfs.h"

#include <libudev.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace korvex {

namespace {

struct DeviceDeleter {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevDevice = std::unique_ptr<udev_device, DeviceDeleter>;

struct EnumerateDeleter {
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
};

std::optional<std::string> text(const char* value) {
    if (!value) return std::nullopt;
    return std::string(value);
}

// The first line of a small sysfs file, at most 64 bytes of it.
std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    char line[64] = {};
    file.getline(line, sizeof line);
    return std::string(line);
}

// A HID device with no USB parent still has its release number when hid-input made an input
// device for it (a joystick does): the kernel copies the version into its id/version.
std::optional<std::uint16_t> inputDeviceVersion(const char* hidSyspath) {
    std::error_code error;
    std::filesystem::directory_iterator entries(std::filesystem::path(hidSyspath) / "input", error);
    if (error) return std::nullopt;
    for (const auto& entry : entries) {
        if (entry.path().filename().string().rfind("input", 0) != 0) continue;
        if (const auto version = readSmallFile(entry.path() / "id" / "version"))
            if (const auto parsed = parseHex16(*version)) return parsed;
    }
    return std::nullopt;
}

}  // namespace

void UdevDeleter::operator()(udev* context) const { udev_unref(context); }

UdevContext openUdev() { return UdevContext(udev_new()); }

std::vector<std::string> hidrawNodes(udev* context) {
    if (!context) return {};
    const std::unique_ptr<udev_enumerate, EnumerateDeleter> enumerate(udev_enumerate_new(context));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return {};
    std::vector<std::pair<dev_t, std::string>> nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const UdevDevice device(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        const char* node = device ? udev_device_get_devnode(device.get()) : nullptr;
        if (node) nodes.emplace_back(udev_device_get_devnum(device.get()), node);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    for (auto& node : nodes) paths.push_back(std::move(node.second));
    return paths;
}

std::optional<HidrawDescription> describeHidraw(udev* context, dev_t number) {
    if (!context) return std::nullopt;
    const UdevDevice hidraw(udev_device_new_from_devnum(context, 'c', number));
    if (!hidraw) return std::nullopt;
    // Parents are owned by their child: not unreferenced here.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw.get(), "hid", nullptr);
    if (!hid) return std::nullopt;
    const char* hidId = udev_device_get_property_value(hid, "HID_ID");
    const auto ids = hidId ? parseHidId(hidId) : std::nullopt;
    if (!ids) return std::nullopt;

    HidrawDescription description;
    description.ids = *ids;
    description.name = text(udev_device_get_property_value(hid, "HID_NAME")).value_or("");
    description.serial = text(udev_device_get_property_value(hid, "HID_UNIQ")).value_or("");
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hid, "usb", "usb_device");
    if (usb) {
        description.usbParent = true;
        description.usbManufacturer = text(udev_device_get_sysattr_value(usb, "manufacturer"));
        description.usbProduct = text(udev_device_get_sysattr_value(usb, "product"));
        if (const char* bcd = udev_device_get_sysattr_value(usb, "bcdDevice")) description.release = parseHex16(bcd);
    } else {
        description.release = inputDeviceVersion(udev_device_get_syspath(hid));
    }
    return description;
}

}  // namespace korvex
