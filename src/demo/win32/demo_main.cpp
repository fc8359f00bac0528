// korvex-config-demo: the configurator's window on a simulated bus with two boards, beside a
// control window that plugs, unplugs and silences them and shows what each one received.
#include "app/diagnostics.h"
#include "app/run_configurator.h"
#include "demo/demo_bus.h"
#include "demo/win32/simulation_window.h"
#include "simulation/simulated_bus.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

int main() {
    korvex::SimulatedBus bus;
    korvex::demo::addStartingBoards(bus);

    korvex::ui::MainWindow window;
    window.setDiagnostics(
        [&bus] { return korvex::app::diagnosticsReport(bus, "korvex-config-demo " KORVEX_VERSION, nullptr); });
    korvex::demo::SimulationWindow simulation(bus);
    const auto runLoop = [&] {
        RECT main;
        GetWindowRect(window.handle(), &main);
        simulation.showAt({main.right + 16, main.top});
        return korvex::ui::runMessageLoop();
    };
    return korvex::app::runConfigurator(bus, window, runLoop, [] { PostQuitMessage(0); });
}
