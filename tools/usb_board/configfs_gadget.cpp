#include "configfs_gadget.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace korvex::tools {

namespace {

constexpr const char* kConfigfs = "/sys/kernel/config";
constexpr const char* kGadgets = "/sys/kernel/config/usb_gadget";

bool writeAttribute(const std::string& path, const std::string& value) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t written = ::write(fd, value.data(), value.size());
    const int error = errno;
    ::close(fd);
    errno = error;
    return written == static_cast<ssize_t>(value.size());
}

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

bool isDirectory(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool ensureGadgetConfigfs() {
    if (isDirectory(kGadgets)) return true;
    if (::mount("none", kConfigfs, "configfs", 0, nullptr) != 0 && errno != EBUSY) return false;
    if (isDirectory(kGadgets)) return true;
    errno = ENOENT;
    return false;
}

std::vector<std::string> dummyControllers() {
    std::vector<std::pair<int, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/udc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("dummy_udc.", 0) == 0) found.emplace_back(std::atoi(name.c_str() + 10), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [number, name] : found) names.push_back(std::move(name));
    return names;
}

bool ConfigfsGadget::create(const std::string& name, const std::string& function, const GadgetIdentity& identity) {
    remove();
    directory_ = std::string(kGadgets) + "/" + name;
    const auto makeDirectory = [this](const std::string& path) {
        if (::mkdir(path.c_str(), 0755) != 0) return false;
        made_.push_back({path, false});
        return true;
    };
    const std::string strings = directory_ + "/strings/0x409";
    const std::string config = directory_ + "/configs/c.1";
    const std::string functionDirectory = directory_ + "/functions/ffs." + function;
    const bool made = makeDirectory(directory_) && writeAttribute(directory_ + "/idVendor", hex4(identity.vendor)) &&
                      writeAttribute(directory_ + "/idProduct", hex4(identity.product)) &&
                      writeAttribute(directory_ + "/bcdDevice", hex4(identity.release)) &&
                      writeAttribute(directory_ + "/bcdUSB", hex4(0x0200)) && makeDirectory(strings) &&
                      writeAttribute(strings + "/manufacturer", identity.manufacturer) &&
                      writeAttribute(strings + "/product", identity.productName) &&
                      writeAttribute(strings + "/serialnumber", identity.serial) && makeDirectory(config) &&
                      writeAttribute(config + "/MaxPower", "100") && makeDirectory(functionDirectory);
    if (!made) {
        const int error = errno;
        remove();
        errno = error;
        return false;
    }
    const std::string link = config + "/ffs." + function;
    if (::symlink(functionDirectory.c_str(), link.c_str()) != 0) {
        const int error = errno;
        remove();
        errno = error;
        return false;
    }
    made_.push_back({link, true});
    return true;
}

bool ConfigfsGadget::bind(const std::string& controller) {
    return !directory_.empty() && writeAttribute(directory_ + "/UDC", controller + "\n");
}

void ConfigfsGadget::unbind() {
    if (!directory_.empty()) writeAttribute(directory_ + "/UDC", "\n");
}

void ConfigfsGadget::remove() {
    if (made_.empty()) return;
    unbind();
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        if (it->link) ::unlink(it->path.c_str());
        else ::rmdir(it->path.c_str());
    }
    made_.clear();
    directory_.clear();
}

}  // namespace korvex::tools
