// korvex-config-demo: the configurator's window on a simulated bus with two boards, beside a
// control window that plugs, unplugs and silences them and shows what each one received.
#include "app/configurator.h"
#include "device/simulated_bus.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"
#include "demo/qt/simulation_window.h"

#include <QApplication>

namespace {

korvex::SimDeviceInfo board(const char16_t* serial, korvex::BoardSettings settings) {
    korvex::SimDeviceInfo info;
    info.serial = serial;
    info.version = 0x0114;
    info.settings = settings;
    return info;
}

}  // namespace

int main(int argc, char** argv) {
    (void)argc;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setWindowIcon(korvex::ui::appIcon());

    korvex::SimulatedBus bus;
    bus.setRealWaits(true);  // a silent board costs its read's whole wait, as a real one does
    // Pair 1-2 at 1:1 and 9-10 at 1:2, 24 ms pulses, shown.
    bus.addDevice(board(u"KX240117", {0x01, 0x10, 6, 0}));
    // Pairs 1-2 to 7-8 at 1:4 and the rest at 1:1, 48 ms pulses, hidden.
    bus.addDevice(board(u"KX240342", {0xFF, 0x0F, 12, 1}));

    korvex::ui::MainWindow window;
    korvex::ui::SimulationWindow simulation(bus);
    korvex::Configurator configurator(bus, window.controls());
    window.onUnload([&] {
        configurator.stop();
        simulation.close();
    });
    // A quit that bypasses the window (the session ending) still unloads it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &QWidget::close);
    configurator.start();
    simulation.move(window.frameGeometry().topRight() + QPoint(16, 0));
    simulation.show();
    return QApplication::exec();
}
