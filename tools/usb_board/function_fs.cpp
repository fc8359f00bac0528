#include "function_fs.h"

#include <endian.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace korvex::tools {

namespace {

constexpr std::uint8_t kInterruptIn = 0x81;
constexpr std::uint16_t kInputPacketBytes = 8;
constexpr std::uint8_t kFullSpeedInterval = 8;  // ms
constexpr std::uint8_t kHighSpeedInterval = 7;  // 2^(7-1) microframes: 8 ms

void putLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putLe32At(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

// Interface, HID and endpoint descriptors for one speed: three descriptors.
void putInterface(std::vector<std::uint8_t>& out, std::size_t reportDescriptorLength, std::uint8_t interval) {
    const std::uint8_t interface[] = {9, 0x04, 0, 0, 1, 0x03, 0x00, 0x00, 0};  // HID, no boot protocol
    out.insert(out.end(), std::begin(interface), std::end(interface));
    const auto hid = hidClassDescriptor(reportDescriptorLength);
    out.insert(out.end(), hid.begin(), hid.end());
    const std::uint8_t endpoint[] = {7, 0x05, kInterruptIn, 0x03, kInputPacketBytes, 0, interval};
    out.insert(out.end(), std::begin(endpoint), std::end(endpoint));
}

std::vector<std::uint8_t> descriptors(std::size_t reportDescriptorLength, int notifier) {
    std::vector<std::uint8_t> out;
    putLe32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    putLe32(out, 0);  // the length, filled in below
    putLe32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_EVENTFD);
    putLe32(out, static_cast<std::uint32_t>(notifier));
    putLe32(out, 3);
    putLe32(out, 3);
    putInterface(out, reportDescriptorLength, kFullSpeedInterval);
    putInterface(out, reportDescriptorLength, kHighSpeedInterval);
    putLe32At(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

// No strings of the function's own: the device's strings are the gadget's.
std::vector<std::uint8_t> noStrings() {
    std::vector<std::uint8_t> out;
    putLe32(out, FUNCTIONFS_STRINGS_MAGIC);
    putLe32(out, 16);
    putLe32(out, 0);
    putLe32(out, 0);
    return out;
}

bool writeAll(int fd, const std::vector<std::uint8_t>& data) {
    return ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

}  // namespace

std::vector<std::uint8_t> hidClassDescriptor(std::size_t reportDescriptorLength) {
    return {9,
            0x21,
            0x11,
            0x01,
            0,
            1,
            0x22,
            static_cast<std::uint8_t>(reportDescriptorLength & 0xFF),
            static_cast<std::uint8_t>(reportDescriptorLength >> 8)};
}

bool FunctionFs::open(const std::string& name, std::size_t reportDescriptorLength) {
    close();
    char directory[] = "/tmp/korvex-ffs-XXXXXX";
    if (!::mkdtemp(directory)) return false;
    mountPoint_ = directory;
    const auto fail = [this] {
        const int error = errno;
        close();
        errno = error;
        return false;
    };
    if (::mount(name.c_str(), mountPoint_.c_str(), "functionfs", 0, nullptr) != 0) {
        ::rmdir(mountPoint_.c_str());
        mountPoint_.clear();
        return false;
    }
    notifier_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (notifier_ < 0) return fail();
    ep0_ = ::open((mountPoint_ + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
    if (ep0_ < 0 || !writeAll(ep0_, descriptors(reportDescriptorLength, notifier_)) || !writeAll(ep0_, noStrings()))
        return fail();
    // Non-blocking, so that a report queued while the host has not configured the device fails
    // at once instead of waiting.
    ep1_ = ::open((mountPoint_ + "/ep1").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (ep1_ < 0) return fail();
    return true;
}

void FunctionFs::close() {
    if (ep1_ >= 0) ::close(ep1_);
    if (ep0_ >= 0) ::close(ep0_);
    if (notifier_ >= 0) ::close(notifier_);
    ep0_ = ep1_ = notifier_ = -1;
    if (mountPoint_.empty()) return;
    ::umount2(mountPoint_.c_str(), 0);
    ::rmdir(mountPoint_.c_str());
    mountPoint_.clear();
}

void FunctionFs::drainNotifier() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto ignored = ::read(notifier_, &count, sizeof count);
}

std::vector<usb_functionfs_event> FunctionFs::readEvents() {
    usb_functionfs_event events[4];
    ssize_t got = ::read(ep0_, events, sizeof events);
    // EIDRM: a SETUP read before was never answered and a newer event cancelled it; that read
    // cleared the cancelled state, and the next one returns the events.
    if (got < 0 && errno == EIDRM) got = ::read(ep0_, events, sizeof events);
    if (got <= 0) return {};
    return {events, events + static_cast<std::size_t>(got) / sizeof events[0]};
}

bool FunctionFs::sendData(std::span<const std::uint8_t> data) { return ::write(ep0_, data.data(), data.size()) >= 0; }

std::optional<std::size_t> FunctionFs::receiveData(std::span<std::uint8_t> data) {
    const ssize_t got = ::read(ep0_, data.data(), data.size());
    if (got < 0) return std::nullopt;
    return static_cast<std::size_t>(got);
}

bool FunctionFs::acknowledge() {
    // FunctionFS reads no more than the request's wLength: none here, which completes the status stage.
    std::uint8_t none = 0;
    return ::read(ep0_, &none, sizeof none) >= 0;
}

void FunctionFs::stall(const usb_ctrlrequest& setup) {
    // FunctionFS stalls a request when ep0 is used against its direction (and moves no data).
    std::uint8_t unused = 0;
    if (setup.bRequestType & USB_DIR_IN) {
        [[maybe_unused]] const auto ignored = ::read(ep0_, &unused, sizeof unused);
    } else {
        [[maybe_unused]] const auto ignored = ::write(ep0_, &unused, sizeof unused);
    }
}

}  // namespace korvex::tools
