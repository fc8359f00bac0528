#include "simulation/simulated_bus.h"

#include "device/device_strings.h"
#include "device/discovery.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <thread>

namespace korvex {

namespace {
constexpr const char* kPathPrefix = "sim:hid#";

// The error of the last call that failed on this thread, as a system keeps errno.
thread_local int lastFailure = 0;
thread_local int lastOpenFailure = 0;  // why this thread's last open of a board was refused
}  // namespace

class SimulatedBus::Walk final : public HidInterfaceWalk {
public:
    Walk(SimulatedBus& bus, std::vector<std::size_t> present) : bus_(bus), present_(std::move(present)) {}

    bool interfacePath(std::uint32_t index, std::string& path) override {
        const std::lock_guard lock(bus_.mutex_);
        SimCall call(SimOp::Enumerate);
        call.ok = index < present_.size();
        if (call.ok) call.device = present_[index];
        if (!bus_.finish(call)) return false;
        path = bus_.path(present_[index]);
        return true;
    }

private:
    SimulatedBus& bus_;
    std::vector<std::size_t> present_;  // snapshot, as the system's device set is
};

std::size_t SimulatedBus::addDevice(const SimDeviceInfo& info) {
    const std::lock_guard lock(mutex_);
    devices_.push_back(Device{info, BoardFirmware(info.settings)});
    return devices_.size() - 1;
}

void SimulatedBus::unplug(std::size_t device) {
    const std::lock_guard lock(mutex_);
    devices_.at(device).plugged = false;
    changed_.notify_all();  // a request waiting on the board ends with it
}

void SimulatedBus::setFault(std::size_t device, FeatureFault fault) {
    const std::lock_guard lock(mutex_);
    devices_.at(device).firmware.setFault(fault);
    changed_.notify_all();
}

void SimulatedBus::setHangTimeout(std::chrono::milliseconds timeout) {
    const std::lock_guard lock(mutex_);
    hangTimeout_ = timeout;
}

std::size_t SimulatedBus::hungRequests() const {
    const std::lock_guard lock(mutex_);
    return hung_;
}

void SimulatedBus::replug(std::size_t device) {
    const std::lock_guard lock(mutex_);
    Device& d = devices_.at(device);
    if (d.plugged) return;
    d.plugged = true;
    ++d.generation;
}

std::string SimulatedBus::path(std::size_t device) const { return kPathPrefix + std::to_string(device); }

std::optional<std::size_t> SimulatedBus::deviceOf(HidHandle handle) const {
    const std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return std::nullopt;
    return it->second.device;
}

bool SimulatedBus::finish(SimCall call) {
    ++callCount_;
    // Each call arrives with its natural verdict; the test may still make a success fail.
    if (call.ok && failWhen_ && failWhen_(call)) {
        call.ok = false;
        lastFailure = failError_;
    } else if (!call.ok) {
        lastFailure = call.device == SIZE_MAX || !devices_[call.device].plugged ? ENODEV : EPIPE;
    }
    const bool ok = call.ok;
    if (recording_) calls_.push_back(std::move(call));
    return ok;
}

SimulatedBus::Device* SimulatedBus::live(HidHandle handle, std::size_t& index) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return nullptr;
    index = it->second.device;
    Device& d = devices_[index];
    if (!d.plugged || d.generation != it->second.generation) return nullptr;
    return &d;
}

std::unique_ptr<HidInterfaceWalk> SimulatedBus::walkInterfaces() {
    const std::lock_guard lock(mutex_);
    std::vector<std::size_t> present;
    for (std::size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].plugged) present.push_back(i);
    SimCall call(SimOp::Walk);
    call.ok = true;
    if (!finish(call)) present.clear();  // a set that could not be built lists nothing
    return std::make_unique<Walk>(*this, std::move(present));
}

HidHandle SimulatedBus::open(const std::string& path) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::Open);
    if (path.rfind(kPathPrefix, 0) == 0) {
        const std::string number = path.substr(std::string(kPathPrefix).size());
        std::size_t index = SIZE_MAX;
        std::from_chars(number.data(), number.data() + number.size(), index);
        if (index < devices_.size()) {
            call.device = index;
            call.ok = devices_[index].plugged && devices_[index].info.openable;
        }
    }
    if (call.ok) call.handle = nextHandle_;
    const bool refused =
        call.device != SIZE_MAX && devices_[call.device].plugged && !devices_[call.device].info.openable;
    lastOpenFailure = refused ? accessDeniedError() : 0;
    if (!finish(call)) {
        if (refused) lastFailure = accessDeniedError();
        return kInvalidHandle;
    }
    const HidHandle handle = nextHandle_++;
    handles_[handle] = OpenHandle{call.device, devices_[call.device].generation, std::nullopt};
    return handle;
}

int SimulatedBus::lastError() const { return lastFailure; }
int SimulatedBus::lastOpenError() const { return lastOpenFailure; }

void SimulatedBus::close(HidHandle handle) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::Close);
    call.handle = handle;
    const auto it = handles_.find(handle);
    if (it != handles_.end()) {
        call.device = it->second.device;
        call.ok = true;
        handles_.erase(it);
    }
    finish(std::move(call));
}

bool SimulatedBus::getAttributes(HidHandle handle, HidAttributes& attributes) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::Attributes);
    call.handle = handle;
    const Device* d = live(handle, call.device);
    call.ok = d != nullptr;
    if (!finish(call)) return false;
    attributes.vendorId = d->info.vendorId;
    attributes.productId = d->info.productId;
    attributes.releaseNumber = d->info.version;
    return true;
}

bool SimulatedBus::getString(HidHandle handle, HidString which, std::string& text) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::String);
    call.handle = handle;
    call.string = which;
    const Device* d = live(handle, call.device);
    const std::optional<std::u16string>* value = nullptr;
    if (d) {
        value = which == HidString::SerialNumber   ? &d->info.serial
                : which == HidString::Manufacturer ? &d->info.manufacturer
                                                   : &d->info.product;
    }
    call.ok = value && value->has_value();
    if (!finish(call)) return false;
    text = utf8FromUtf16(**value);
    return true;
}

bool SimulatedBus::getCaps(HidHandle handle, HidCaps& caps) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::Caps);
    call.handle = handle;
    const Device* d = live(handle, call.device);
    call.ok = d != nullptr;
    if (!finish(call)) return false;
    caps = d->info.caps;
    return true;
}

bool SimulatedBus::setFeature(HidHandle handle, std::span<const std::uint8_t> report) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::SetFeature);
    call.handle = handle;
    call.bytes.assign(report.begin(), report.end());
    Device* d = live(handle, call.device);
    // The HID library refuses a report whose length is not the device's feature length.
    call.ok = d && report.size() == d->info.caps.featureReportLength && d->firmware.fault() != FeatureFault::Refuse;
    if (!finish(call)) return false;
    d->firmware.receiveFeature(report);
    return true;
}

std::size_t SimulatedBus::getFeature(HidHandle handle, std::span<std::uint8_t> report) {
    std::unique_lock lock(mutex_);
    SimCall call(SimOp::GetFeature);
    call.handle = handle;
    Device* d = live(handle, call.device);
    if (d && d->firmware.fault() == FeatureFault::Hang) {
        // No answer: the request waits, as a system waits for its timeout, unless the board is
        // unplugged or starts answering again meanwhile.
        ++hung_;
        const bool ended = changed_.wait_for(lock, hangTimeout_, [&] {
            d = live(handle, call.device);
            return d == nullptr || d->firmware.fault() != FeatureFault::Hang;
        });
        --hung_;
        if (!ended) {
            call.ok = false;
            finish(std::move(call));
            lastFailure = ETIMEDOUT;
            return 0;
        }
    }
    call.ok = d && report.size() == d->info.caps.featureReportLength;
    std::vector<std::uint8_t> response(report.size(), 0);
    std::size_t answered = 0;
    if (call.ok) {
        answered = d->firmware.answerFeature(response);
        call.ok = answered > 0;
        response.resize(answered);
        call.bytes = response;
    }
    if (!finish(std::move(call))) return 0;
    // What the board answered, then zeros: never what the caller's buffer held before.
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    std::copy_n(response.begin(), std::min(answered, report.size()), report.begin());
    return std::min(answered, report.size());
}

InputRead SimulatedBus::readInput(HidHandle handle, std::span<std::uint8_t> buffer, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    SimCall call(SimOp::Read);
    call.handle = handle;
    const Device* d = live(handle, call.device);
    call.ok = d != nullptr;
    if (!finish(call)) return InputRead::Gone;
    if (d->info.silent) {
        if (realWaits_) {
            lock.unlock();
            std::this_thread::sleep_for(bound);
        }
        return InputRead::NoneYet;
    }
    // With real waits on, the board reports as a board does: when its buttons change. A turn's
    // next press or release within the bound is waited for, so the reader sees it when it
    // happens; with nothing new the read waits out its bound. Without real waits every read
    // tells the buttons as they are now.
    const std::size_t index = call.device;
    if (realWaits_ && !devices_[index].firmware.pulsing()) {
        const auto change = devices_[index].firmware.nextChange();
        const auto until = std::chrono::steady_clock::now() + bound;
        const auto& reported = handles_.at(handle).reported;
        const auto [low, high] = devices_[index].firmware.currentInputReport();
        const bool news = !reported || *reported != (low | high << 8);
        if (!news) {
            lock.unlock();
            std::this_thread::sleep_until(change && *change < until ? *change : until);
            lock.lock();
            d = live(handle, call.device);
            if (!d) return InputRead::Gone;
            if (!change || *change >= until) return InputRead::NoneYet;
        }
    }
    // The firmware's buttons, led by the report ID byte, cut at the caller's buffer.
    const auto buttons = devices_[index].firmware.nextInputReport(std::chrono::steady_clock::now());
    handles_.at(handle).reported = static_cast<std::uint16_t>(buttons[0] | buttons[1] << 8);
    std::array<std::uint8_t, 1 + kBoardInputBytes> report{};
    std::copy(buttons.begin(), buttons.end(), report.begin() + 1);
    std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
    return InputRead::Report;
}

bool SimulatedBus::getReportDescriptor(HidHandle handle, std::vector<std::uint8_t>& descriptor) {
    const std::lock_guard lock(mutex_);
    SimCall call(SimOp::Descriptor);
    call.handle = handle;
    call.ok = live(handle, call.device) != nullptr;
    if (!finish(call)) return false;
    const auto bytes = boardReportDescriptor();
    descriptor.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace korvex
