// The HID platform on Linux: udev lists the hidraw nodes, sysfs says what each one is before it is
// opened, and the hidraw ioctls carry the reports.
#include "device/hid_platform.h"
#include "device/linux/hidraw_sysfs.h"
#include "device/report_descriptor.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace korvex {

namespace {

class HidrawWalk final : public HidInterfaceWalk {
public:
    explicit HidrawWalk(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    bool interfacePath(std::uint32_t index, std::string& path) override {
        if (index >= paths_.size()) return false;
        path = paths_[index];
        return true;
    }

private:
    std::vector<std::string> paths_;  // the nodes present when the walk began
};

int fdOf(HidHandle handle) { return handle >= 0 && handle <= INT_MAX ? static_cast<int>(handle) : -1; }

// The error of the last call that failed on this thread: each board's calls run on a thread of
// their own, so one board's failure never reads as another's.
thread_local int lastFailure = 0;
// Why the last open on this thread of a node that is one of our boards failed; 0 otherwise.
thread_local int lastOpenFailure = 0;

// Records errno as the failure of a call, and passes its result on.
template <typename T>
T failed(T result) {
    lastFailure = errno;
    return result;
}

class HidrawPlatform final : public HidPlatform {
public:
    HidrawPlatform() : udev_(openUdev()) {}
    ~HidrawPlatform() override {
        for (const auto& [identity, fd] : resident_) ::close(fd);
    }
    HidrawPlatform(const HidrawPlatform&) = delete;
    HidrawPlatform& operator=(const HidrawPlatform&) = delete;

    // A searching configurator walks every few tens of milliseconds, so a walk reads one directory
    // listing and nothing else for the nodes it has seen before: what sysfs said about a node is
    // kept for as long as the same device holds it.
    std::unique_ptr<HidInterfaceWalk> walkInterfaces() override {
        std::unique_lock lock(mutex_);
        std::vector<std::string> paths;
        std::map<std::uint64_t, Known> stillPresent;  // what is known of nodes gone is dropped
        present_.clear();
        for (auto& entry : listHidraw()) {
            if (const auto known = known_.find(entry.identity); known != known_.end())
                stillPresent.insert(std::move(*known));
            present_.emplace(entry.node, entry.identity);
            paths.push_back(std::move(entry.node));
        }
        known_ = std::move(stillPresent);
        lock.unlock();
        releaseGoneBoards();
        return std::make_unique<HidrawWalk>(std::move(paths));
    }

    HidHandle open(const std::string& path) override {
        std::unique_lock lock(mutex_);
        lastOpenFailure = 0;
        const auto listed = present_.find(path);
        const std::uint64_t identity = listed == present_.end() ? 0 : listed->second;
        auto cached = identity != 0 ? known_.find(identity) : known_.end();
        if (cached == known_.end()) {
            struct stat node {};
            if (::stat(path.c_str(), &node) != 0) return failed(kInvalidHandle);
            if (!S_ISCHR(node.st_mode)) return kInvalidHandle;
            auto description = describeHidraw(udev_.get(), node.st_rdev);
            if (!description) return kInvalidHandle;  // not kept: the node may still be appearing
            Known fresh{node.st_rdev, std::move(*description)};
            if (identity == 0) {  // a path that no walk listed
                lock.unlock();
                return openBoard(path, fresh, 0);
            }
            cached = known_.insert_or_assign(identity, std::move(fresh)).first;
        }
        const Known known = cached->second;
        if (const auto kept = resident_.find(identity); identity != 0 && kept != resident_.end())
            return handOut(::fcntl(kept->second, F_DUPFD_CLOEXEC, 0), known);
        lock.unlock();
        return openBoard(path, known, identity);
    }

    int lastOpenError() const override { return lastOpenFailure; }
    int lastError() const override { return lastFailure; }

    void close(HidHandle handle) override {
        const int fd = fdOf(handle);
        if (fd < 0) return;
        const std::lock_guard lock(mutex_);
        opened_.erase(fd);
        numbered_.erase(fd);
        ::close(fd);
    }

    bool getAttributes(HidHandle handle, HidAttributes& attributes) override {
        hidraw_devinfo info{};
        if (::ioctl(fdOf(handle), HIDIOCGRAWINFO, &info) < 0) return failed(false);
        attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
        attributes.productId = static_cast<std::uint16_t>(info.product);
        const auto description = describe(handle);
        attributes.releaseNumber = description && description->release ? *description->release : 0;
        return true;
    }

    bool getString(HidHandle handle, HidString which, std::string& text) override {
        const auto description = describe(handle);
        if (!description) return false;
        std::optional<std::string> value;
        if (which == HidString::SerialNumber) {
            if (!description->serial.empty()) value = description->serial;
        } else if (description->usbParent) {
            value = which == HidString::Manufacturer ? description->usbManufacturer : description->usbProduct;
        } else {
            const NameParts parts = splitHidName(description->name);
            const std::string& part = which == HidString::Manufacturer ? parts.manufacturer : parts.product;
            if (!part.empty()) value = part;
        }
        if (!value) return false;
        text = *value;
        return true;
    }

    bool getCaps(HidHandle handle, HidCaps& caps) override {
        std::vector<std::uint8_t> descriptor;
        if (!getReportDescriptor(handle, descriptor)) return false;
        const auto lengths = parseReportLengths(descriptor);
        if (!lengths) return false;
        caps.inputReportLength = lengths->input;
        caps.featureReportLength = lengths->feature;
        return true;
    }

    bool setFeature(HidHandle handle, std::span<const std::uint8_t> report) override {
        if (report.empty()) return false;
        std::vector<std::uint8_t> bytes(report.begin(), report.end());  // the ioctl takes a mutable buffer
        return ::ioctl(fdOf(handle), HIDIOCSFEATURE(bytes.size()), bytes.data()) >= 0 || failed(false);
    }

    std::size_t getFeature(HidHandle handle, std::span<std::uint8_t> report) override {
        if (report.empty()) return 0;
        // The kernel returns the length of the report it got, report ID byte included, fills no
        // more than we ask for and leaves the rest of the buffer as it was: so it starts cleared,
        // but for the report ID.
        const std::uint8_t reportId = report[0];
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        report[0] = reportId;
        const int got = ::ioctl(fdOf(handle), HIDIOCGFEATURE(report.size()), report.data());
        if (got < 0) return failed(std::size_t{0});
        return std::min(static_cast<std::size_t>(got), report.size());
    }

    bool getReportDescriptor(HidHandle handle, std::vector<std::uint8_t>& descriptor) override {
        const int fd = fdOf(handle);
        int size = 0;
        if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0) return failed(false);
        if (size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) return false;
        hidraw_report_descriptor raw{};
        raw.size = static_cast<__u32>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &raw) < 0) return failed(false);
        descriptor.assign(raw.value, raw.value + raw.size);
        return true;
    }

    InputRead readInput(HidHandle handle, std::span<std::uint8_t> buffer, std::chrono::milliseconds bound) override {
        // Called on every tick while a board is open: the moment to let go of boards unplugged
        // meanwhile, whose node numbers the kernel keeps for as long as a descriptor holds them.
        releaseGoneBoards();
        pollfd watch{fdOf(handle), POLLIN, 0};
        const int wait = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(bound.count(), 0, INT_MAX));
        int ready = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        for (int left = wait;;) {
            ready = ::poll(&watch, 1, left);
            if (ready >= 0 || errno != EINTR) break;
            const auto remaining =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            left = static_cast<int>(std::max<std::chrono::milliseconds::rep>(remaining.count(), 0));
        }
        if (ready < 0) return failed(InputRead::Gone);
        if (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lastFailure = ENODEV;
            return InputRead::Gone;
        }
        if (ready == 0) return InputRead::NoneYet;
        // hidraw hands out whole reports and cuts one that is longer than the buffer. It leaves out
        // the report ID byte of a device that numbers no reports; the HID library gives it as 0.
        std::span<std::uint8_t> into = buffer;
        if (!into.empty() && !reportsNumbered(handle)) {
            into[0] = 0;
            into = into.subspan(1);
        }
        std::uint8_t spare = 0;
        if (into.empty()) into = std::span<std::uint8_t>(&spare, 1);
        const ssize_t got = ::read(watch.fd, into.data(), into.size());
        if (got > 0) return InputRead::Report;
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return InputRead::NoneYet;
        return failed(InputRead::Gone);
    }

private:
    // Whether the device's reports carry their own ID byte; asked once per open descriptor.
    bool reportsNumbered(HidHandle handle) {
        const int fd = fdOf(handle);
        {
            const std::lock_guard lock(mutex_);
            if (const auto known = numbered_.find(fd); known != numbered_.end()) return known->second;
        }
        std::vector<std::uint8_t> descriptor;
        const auto layout = getReportDescriptor(handle, descriptor) ? parseInputButtons(descriptor) : std::nullopt;
        const bool numbered = layout && layout->numbered;
        const std::lock_guard lock(mutex_);
        numbered_.insert_or_assign(fd, numbered);
        return numbered;
    }

    struct Known {
        dev_t number;  // the node's device number
        HidrawDescription description;
    };

    // Opens the node if sysfs described it as one of our boards: only they are ever opened, so a
    // keyboard stays untouched.
    //
    // The kernel opens and closes hidraw nodes under one lock for all of them, which a feature
    // request holds while it waits for its board: with one board that never answers, opening any
    // other waits for the system's 5 s timeout. So the first open of a board node a walk listed is
    // kept for as long as walks list it, and every handle on it is a duplicate of that descriptor,
    // made without the kernel's open.
    HidHandle openBoard(const std::string& path, const Known& known, std::uint64_t identity) {
        if (known.description.ids.vendor != kBoardVendorId || known.description.ids.product != kBoardProductId)
            return kInvalidHandle;
        // Reads wait in poll(), so the descriptor itself need not block.
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            lastOpenFailure = errno;  // EACCES: a board node without a udev rule for this user
            return failed(kInvalidHandle);
        }
        // The node may have been given to another device since it was described.
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || opened.st_rdev != known.number ||
            (identity != 0 && hidrawIdentity(path) != identity)) {
            ::close(fd);
            return kInvalidHandle;
        }
        if (identity == 0) {
            const std::lock_guard lock(mutex_);
            return handOut(fd, known);
        }
        const std::lock_guard lock(mutex_);
        const auto [kept, added] = resident_.emplace(identity, fd);
        if (!added) ::close(fd);  // another thread kept one meanwhile
        return handOut(::fcntl(kept->second, F_DUPFD_CLOEXEC, 0), known);
    }

    // Closes the kept descriptors of boards that are gone: unplugged (the kernel reports a hang-up
    // on the node) or no longer listed by the last walk. A handle still open on such a board keeps
    // the node until it is closed itself.
    void releaseGoneBoards() {
        std::vector<int> gone;
        {
            const std::lock_guard lock(mutex_);
            // One poll() for all of them: a node whose board was unplugged reports a hang-up.
            std::vector<pollfd> watch;
            for (const auto& [identity, fd] : resident_) watch.push_back({fd, 0, 0});
            if (!watch.empty()) ::poll(watch.data(), watch.size(), 0);
            std::size_t k = 0;
            for (auto it = resident_.begin(); it != resident_.end(); ++k) {
                const bool hungUp = watch[k].revents & (POLLHUP | POLLERR | POLLNVAL);
                if (known_.count(it->first) != 0 && !hungUp) {
                    ++it;
                    continue;
                }
                gone.push_back(it->second);
                it = resident_.erase(it);
            }
        }
        for (const int fd : gone) ::close(fd);
    }

    // Registers a descriptor handed out as a handle. Called with mutex_ held.
    HidHandle handOut(int fd, const Known& known) {
        if (fd < 0) return failed(kInvalidHandle);
        // What sysfs said holds for as long as this descriptor: the attribute and string calls
        // that follow read it from here rather than asking udev again.
        opened_.insert_or_assign(fd, known.description);
        numbered_.erase(fd);
        return fd;
    }

    // What sysfs said about the node behind an open descriptor; a copy, since another thread may
    // close a descriptor meanwhile.
    std::optional<HidrawDescription> describe(HidHandle handle) const {
        const std::lock_guard lock(mutex_);
        const auto it = opened_.find(fdOf(handle));
        if (it == opened_.end()) return std::nullopt;
        return it->second;
    }

    mutable std::mutex mutex_;  // guards the maps; never held across a request or an open
    UdevContext udev_;
    std::map<std::uint64_t, int> resident_;         // by identity: the descriptor kept for each board node
    std::map<int, HidrawDescription> opened_;       // by descriptor, for every node open now
    std::map<int, bool> numbered_;                  // by descriptor, once its first report was read
    std::map<std::string, std::uint64_t> present_;  // node to identity, as the last walk listed them
    std::map<std::uint64_t, Known> known_;          // by identity, for nodes the last walk listed
};

}  // namespace

std::unique_ptr<HidPlatform> makeSystemHidPlatform() { return std::make_unique<HidrawPlatform>(); }

}  // namespace korvex
