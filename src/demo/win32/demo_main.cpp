// korvex-config-demo: the configurator's window on a simulated bus with two boards, beside a
// control window that plugs, unplugs and silences them and shows what each one received.
#include "app/configurator.h"
#include "demo/win32/simulation_window.h"
#include "device/simulated_bus.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

namespace {

korvex::SimDeviceInfo board(const char16_t* serial, korvex::BoardSettings settings) {
    korvex::SimDeviceInfo info;
    info.serial = serial;
    info.version = 0x0114;
    info.settings = settings;
    return info;
}

}  // namespace

int main() {
    korvex::SimulatedBus bus;
    bus.setRealWaits(true);  // a silent board costs its read's whole wait, as a real one does
    // Pair 1-2 at 1:1 and 9-10 at 1:2, 24 ms pulses, shown.
    bus.addDevice(board(u"KX240117", {0x01, 0x10, 6, 0}));
    // Pairs 1-2 to 7-8 at 1:4 and the rest at 1:1, 48 ms pulses, hidden.
    bus.addDevice(board(u"KX240342", {0xFF, 0x0F, 12, 1}));

    korvex::ui::MainWindow window;
    korvex::demo::SimulationWindow simulation(bus);
    korvex::Configurator configurator(bus, window.controls());
    window.onUnload([&configurator] {
        configurator.stop();
        PostQuitMessage(0);
    });
    configurator.start();
    RECT main;
    GetWindowRect(window.handle(), &main);
    simulation.showAt({main.right + 16, main.top});
    return korvex::ui::runMessageLoop();
}
