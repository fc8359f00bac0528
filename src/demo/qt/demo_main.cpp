// korvex-config-demo: the configurator's window on a simulated bus with two boards, beside a
// control window that plugs, unplugs and silences them and shows what each one received.
#include "app/diagnostics.h"
#include "app/program_options.h"
#include "app/run_configurator.h"
#include "demo/demo_bus.h"
#include "demo/qt/simulation_window.h"
#include "simulation/simulated_bus.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    int exitCode = 0;
    if (!korvex::app::handleProgramOptions(
            argc, argv,
            {"korvex-config-demo", KORVEX_VERSION,
             "The configurator's window on simulated Korvex boards, beside a window that plugs, unplugs and "
             "silences them; no hardware is touched."},
            exitCode)) {
        return exitCode;
    }
    // Beyond --help and --version the demo takes no options: Qt sees only the program name.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setWindowIcon(korvex::ui::appIcon());

    korvex::SimulatedBus bus;
    korvex::demo::addStartingBoards(bus);

    korvex::ui::MainWindow window;
    // The report of the simulated boards; the computer's own udev rule says nothing about them.
    window.setDiagnostics(
        [&bus] { return korvex::app::diagnosticsReport(bus, "korvex-config-demo " KORVEX_VERSION, nullptr); });
    korvex::demo::SimulationWindow simulation(bus);
    // A quit that bypasses the window (the session ending) still unloads it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &QWidget::close);
    const auto runLoop = [&] {
        simulation.move(window.frameGeometry().topRight() + QPoint(16, 0));
        simulation.show();
        return QApplication::exec();
    };
    return korvex::app::runConfigurator(bus, window, runLoop, [&simulation] { simulation.close(); });
}
