// korvex-window-shot FILE.png: renders the configurator's window with a simulated board loaded
// into a PNG, for the documentation. A developer tool; not installed.
#include "app/configurator.h"
#include "simulation/simulated_bus.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setWindowIcon(korvex::ui::appIcon());

    korvex::SimulatedBus bus;
    korvex::SimDeviceInfo first;
    first.serial = u"KX240117";
    first.settings = {0x01, 0x10, 6, 0};
    bus.addDevice(first);
    korvex::SimDeviceInfo second;
    second.serial = u"KX240342";
    second.settings = {0x05, 0x04, 6, 0};
    bus.addDevice(second);

    korvex::ui::MainWindow window;
    korvex::app::Configurator configurator(bus, window.controls());
    configurator.start();
    QApplication::processEvents();
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    configurator.stop();
    return saved ? 0 : 1;
}
