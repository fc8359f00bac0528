// A HID bus in memory: any number of interfaces in a chosen order, boards among them running the
// board's firmware model. Tests, the benchmark and the demo run the configurator on it. It can
// unplug and replug a board, make a board silent, make chosen calls fail, and it records every
// call with its bytes so the exact traffic can be asserted. Its calls may come from several threads
// at once, as a system's do; a request to a hanging board waits without holding up the others.
#pragma once

#include "device/hid_platform.h"
#include "simulation/board_firmware.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

// The system error a call made to fail reports unless the test names another: EIO.
inline constexpr int kSimulatedFailure = 5;

enum class SimOp { Walk, Enumerate, Open, Close, Attributes, String, Caps, SetFeature, GetFeature, Read, Descriptor };

struct SimCall {
    explicit SimCall(SimOp operation) : op(operation) {}
    SimOp op;
    std::size_t device = SIZE_MAX;  // index of the interface concerned, SIZE_MAX if none
    HidHandle handle = kInvalidHandle;
    std::vector<std::uint8_t> bytes;  // report sent (SetFeature) or received (GetFeature)
    HidString string = HidString::SerialNumber;
    bool ok = false;
};

// One HID interface on the bus. An empty optional string cannot be read.
struct SimDeviceInfo {
    std::uint16_t vendorId = kBoardVendorId;
    std::uint16_t productId = kBoardProductId;
    std::uint16_t version = 0x0114;
    std::optional<std::u16string> serial = u"KX000001";
    std::optional<std::u16string> manufacturer = u"Korvex";
    std::optional<std::u16string> product = u"Rotary Encoders Interface";
    HidCaps caps{3, 9};
    BoardSettings settings{};
    bool openable = true;  // false: like a node the user may not open (permission denied)
    bool silent = false;   // true: sends no input reports
};

class SimulatedBus final : public HidPlatform {
public:
    std::size_t addDevice(const SimDeviceInfo& info);
    std::size_t deviceCount() const { return devices_.size(); }

    void unplug(std::size_t device);
    void replug(std::size_t device);
    bool plugged(std::size_t device) const { return devices_.at(device).plugged; }
    void setSilent(std::size_t device, bool silent) {
        const std::lock_guard lock(mutex_);
        devices_.at(device).info.silent = silent;
    }
    bool silent(std::size_t device) const { return devices_.at(device).info.silent; }
    // A firmware fault of the board's feature handling (refused, short or missing answers).
    void setFault(std::size_t device, FeatureFault fault);
    // How long a request to a hanging board waits before it fails: a system's timeout, 5 s.
    void setHangTimeout(std::chrono::milliseconds timeout);
    // Requests waiting on a hanging board now.
    std::size_t hungRequests() const;

    const SimDeviceInfo& info(std::size_t device) const { return devices_.at(device).info; }
    BoardFirmware& firmware(std::size_t device) { return devices_.at(device).firmware; }
    const BoardFirmware& firmware(std::size_t device) const { return devices_.at(device).firmware; }
    std::string path(std::size_t device) const;

    // Calls for which this returns true fail as the operating system would report it, with
    // `error` as the system's reason.
    void failWhen(std::function<bool(const SimCall&)> predicate, int error = kSimulatedFailure) {
        failWhen_ = std::move(predicate);
        failError_ = error;
    }

    // With real waits on, a read on a silent board takes its whole bound, as on a real system.
    void setRealWaits(bool on) { realWaits_ = on; }

    // Runs `use` under the bus's lock: what it reads or copies of the bus (the calls, a board's
    // firmware) is one consistent state while other threads call the bus.
    void withLock(const std::function<void(SimulatedBus&)>& use) {
        const std::lock_guard lock(mutex_);
        use(*this);
    }

    const std::vector<SimCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    void setRecording(bool on) { recording_ = on; }
    std::size_t callCount() const { return callCount_; }

    std::size_t openHandleCount() const {
        const std::lock_guard lock(mutex_);
        return handles_.size();
    }
    // The interface a handle is open on, if it is open.
    std::optional<std::size_t> deviceOf(HidHandle handle) const;

    // HidPlatform
    std::unique_ptr<HidInterfaceWalk> walkInterfaces() override;
    HidHandle open(const std::string& path) override;
    int lastOpenError() const override;
    void close(HidHandle handle) override;
    bool getAttributes(HidHandle handle, HidAttributes& attributes) override;
    bool getString(HidHandle handle, HidString which, std::string& text) override;
    bool getCaps(HidHandle handle, HidCaps& caps) override;
    bool setFeature(HidHandle handle, std::span<const std::uint8_t> report) override;
    std::size_t getFeature(HidHandle handle, std::span<std::uint8_t> report) override;
    int lastError() const override;
    InputRead readInput(HidHandle handle, std::span<std::uint8_t> buffer, std::chrono::milliseconds bound) override;
    bool getReportDescriptor(HidHandle handle, std::vector<std::uint8_t>& descriptor) override;

private:
    struct Device {
        SimDeviceInfo info;
        BoardFirmware firmware;
        bool plugged = true;
        unsigned generation = 0;  // bumped on every replug, so older handles stay dead
    };
    struct OpenHandle {
        std::size_t device;
        unsigned generation;
        std::optional<std::uint16_t> reported;  // the buttons the last input report on it told
    };
    class Walk;

    // The live device behind a handle, or nullptr when the handle is unknown or its device gone.
    Device* live(HidHandle handle, std::size_t& index);
    bool finish(SimCall call);

    mutable std::recursive_mutex mutex_;   // every call holds it, but a request waiting on a board
    std::condition_variable_any changed_;  // a board unplugged or its fault changed
    std::chrono::milliseconds hangTimeout_{5000};
    std::size_t hung_ = 0;
    std::deque<Device> devices_;  // a deque: a board added never moves the others
    std::map<HidHandle, OpenHandle> handles_;
    HidHandle nextHandle_ = 100;
    std::function<bool(const SimCall&)> failWhen_;
    int failError_ = kSimulatedFailure;
    std::vector<SimCall> calls_;
    std::size_t callCount_ = 0;
    bool recording_ = true;
    bool realWaits_ = false;
};

}  // namespace korvex
