// korvex-config-demo: the configurator's window on a simulated bus with two boards, beside a
// control window that plugs, unplugs and silences them and shows what each one received.
#include "app/configurator.h"
#include "demo/demo_bus.h"
#include "demo/win32/simulation_window.h"
#include "device/simulated_bus.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

#include <cstdlib>

int main() {
    korvex::SimulatedBus bus;
    korvex::demo::addStartingBoards(bus);

    korvex::ui::MainWindow window;
    korvex::demo::SimulationWindow simulation(bus);
    int code = 0;
    {
        korvex::Configurator configurator(bus, window.controls(), korvex::DeviceThreads::Worker,
                                          [&window] { window.wake(); });
        window.onWake([&configurator] { configurator.deliverResults(); });
        window.onUnload([&configurator] {
            configurator.stop();
            PostQuitMessage(0);
        });
        configurator.start();
        RECT main;
        GetWindowRect(window.handle(), &main);
        simulation.showAt({main.right + 16, main.top});
        code = korvex::ui::runMessageLoop();
    }
    // A simulated board left hanging holds its worker until its timeout: the demo does not wait.
    if (korvex::DeviceWorker::stillRunning() > 0) std::_Exit(code);
    return code;
}
