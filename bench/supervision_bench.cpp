// How long the window's thread spends in one tick of supervision, and how many platform calls a
// tick makes, on the simulated bus with 1, 4 and 64 HID interfaces present. A silent board waits
// out the whole liveness bound, as it would on a real system.
#include "app/configurator.h"
#include "simulation/simulated_bus.h"
#include "support/memory_controls.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace korvex;
using Clock = std::chrono::steady_clock;

enum class State { Searching, ConnectedChatty, ConnectedSilent, Reselecting };

const char* name(State state) {
    switch (state) {
    case State::Searching: return "searching";
    case State::ConnectedChatty: return "connected, chatty board";
    case State::ConnectedSilent: return "connected, silent board";
    case State::Reselecting: return "re-selecting";
    }
    return "";
}

SimDeviceInfo otherInterface(int i) {
    SimDeviceInfo info;
    info.vendorId = 0x046D;
    info.productId = static_cast<std::uint16_t>(0xC000 + i);
    info.serial = u"OTHER";
    return info;
}

struct Figures {
    double medianMs;
    double worstMs;
    double callsPerTick;
};

Figures measure(int interfaces, State state, int ticks) {
    SimulatedBus bus;
    bus.setRealWaits(true);
    bus.setRecording(false);
    const bool withBoard = state != State::Searching;
    for (int i = 0; i < interfaces - (withBoard ? 1 : 0); ++i) bus.addDevice(otherInterface(i));
    if (withBoard) {
        SimDeviceInfo board;
        board.serial = u"KX-BENCH";
        board.silent = state == State::ConnectedSilent;
        bus.addDevice(board);
    }
    testing::MemoryForm form;
    app::Configurator app(bus, form.controls());
    app.start();

    const std::function<void()> tick = state == State::Reselecting
                                           ? std::function<void()>([&] { app.onSerialChosen(); })
                                           : std::function<void()>([&] { form.Timer.fire(); });
    std::vector<double> times;
    const std::size_t callsBefore = bus.callCount();
    for (int i = 0; i < ticks; ++i) {
        const auto start = Clock::now();
        tick();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const double calls = static_cast<double>(bus.callCount() - callsBefore) / ticks;
    app.stop();
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back(), calls};
}

}  // namespace

int main() {
    std::printf("liveness bound: %lld ms\n", static_cast<long long>(app::kLivenessBound.count()));
    std::printf("%-26s %10s %12s %11s %14s\n", "state", "interfaces", "median (ms)", "worst (ms)", "calls per tick");
    for (const State state : {State::Searching, State::ConnectedChatty, State::ConnectedSilent, State::Reselecting}) {
        for (const int interfaces : {1, 4, 64}) {
            // A silent board's tick lasts the bound: fewer of them keep the run short.
            const int ticks = state == State::ConnectedSilent ? 100 : 2000;
            const Figures f = measure(interfaces, state, ticks);
            std::printf("%-26s %10d %12.3f %11.3f %14.1f\n", name(state), interfaces, f.medianMs, f.worstMs,
                        f.callsPerTick);
        }
    }
    return 0;
}
