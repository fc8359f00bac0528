#include "device/linux/hidraw_sysfs.h"

#include <dirent.h>
#include <libudev.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

namespace korvex {

namespace {

struct DeviceDeleter {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevDevice = std::unique_ptr<udev_device, DeviceDeleter>;

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

std::vector<HidrawEntry> listHidraw() {
    std::vector<std::pair<unsigned long, HidrawEntry>> found;
    if (DIR* directory = ::opendir("/sys/class/hidraw")) {
        while (const dirent* entry = ::readdir(directory)) {
            // hidraw gives node N the minor number N, so N orders the nodes as their device numbers.
            unsigned long number = 0;
            if (std::sscanf(entry->d_name, "hidraw%lu", &number) != 1) continue;
            found.emplace_back(number, HidrawEntry{std::string("/dev/") + entry->d_name, entry->d_ino});
        }
        ::closedir(directory);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<HidrawEntry> entries;
    for (auto& item : found) entries.push_back(std::move(item.second));
    return entries;
}

std::uint64_t hidrawIdentity(const std::string& node) {
    struct stat entry {};
    const std::string name = node.substr(node.rfind('/') + 1);
    if (name.rfind("hidraw", 0) != 0 || ::lstat(("/sys/class/hidraw/" + name).c_str(), &entry) != 0) return 0;
    return entry.st_ino;  // the inode number that the directory listing gives the same entry
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
