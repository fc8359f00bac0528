#include "demo/demo_bus.h"

#include <chrono>
#include <string>
#include <vector>

namespace korvex::demo {

namespace {

constexpr std::uint16_t kShownFirmware = 0x0114;
constexpr std::uint16_t kOldFirmware = 0x0013;

SimDeviceInfo board(std::u16string serial, std::uint16_t version, BoardSettings settings) {
    SimDeviceInfo info;
    info.serial = std::move(serial);
    info.version = version;
    info.settings = settings;
    return info;
}

}  // namespace

void addStartingBoards(SimulatedBus& bus) {
    bus.setRealWaits(true);
    // Pair 1-2 at 1:1 and 9-10 at 1:2, 24 ms pulses, shown.
    bus.addDevice(board(u"KX240117", kShownFirmware, {0x01, 0x10, 6, 0}));
    // Pairs 1-2 to 7-8 at 1:4 and the rest at 1:1, 48 ms pulses, hidden.
    bus.addDevice(board(u"KX240342", kShownFirmware, {0xFF, 0x0F, 12, 1}));
}

std::size_t addOldFirmwareBoard(SimulatedBus& bus, int n) {
    std::u16string serial = u"KX13";
    const std::string digits = std::to_string(10000 + n % 10000).substr(1);  // four digits, zero-padded
    serial.append(digits.begin(), digits.end());
    return bus.addDevice(board(serial, kOldFirmware, {}));
}

BoardView boardView(SimulatedBus& bus, std::size_t device) {
    BoardView view;
    bus.withLock([&view, device](SimulatedBus& locked) {
        view = BoardView{locked.plugged(device), locked.silent(device), locked.firmware(device)};
    });
    return view;
}

bool turnEncoder(SimulatedBus& bus, std::size_t device, int pair, int steps, int rate) {
    // A worker may be waiting out a read (the configurator's wait 10 ms) that knew of no turn; it
    // would see the first press only at its end, and measure that pulse short. Starting a little
    // later lets its next read wait for the press itself.
    constexpr auto kLead = std::chrono::milliseconds(50);
    bool turned = false;
    bus.withLock([&](SimulatedBus& locked) {
        turned = locked.firmware(device).turn(pair, steps, rate, BoardFirmware::Clock::now() + kLead);
    });
    return turned;
}

void BusTraffic::take(const std::function<void(std::size_t device, const SimCall& call)>& onReport) {
    // Taken and emptied at once, so that no call made meanwhile by a worker is lost.
    std::vector<SimCall> calls;
    std::size_t deviceCount = 0;
    bus_.withLock([&calls, &deviceCount](SimulatedBus& bus) {
        calls = bus.calls();
        bus.clearCalls();
        deviceCount = bus.deviceCount();
    });
    for (const SimCall& call : calls) {
        switch (call.op) {
        case SimOp::Open:
            if (call.ok) openHandles_[call.handle] = call.device;
            break;
        case SimOp::Close: openHandles_.erase(call.handle); break;
        case SimOp::SetFeature:
        case SimOp::GetFeature:
            if (call.device < deviceCount) onReport(call.device, call);
            break;
        default: break;
        }
    }
}

bool BusTraffic::open(std::size_t device) const {
    for (const auto& [handle, owner] : openHandles_)
        if (owner == device) return true;
    return false;
}

}  // namespace korvex::demo
