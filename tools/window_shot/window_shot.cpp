// korvex-window-shot [--input-test] FILE.png: renders the configurator's window with a simulated
// board loaded into a PNG, for the documentation; with --input-test, the demo's input test window
// instead, caught while an encoder turns. A developer tool; not installed.
#include "app/configurator.h"
#include "demo/demo_bus.h"
#include "simulation/simulated_bus.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace {

// Runs the window's events until `done` holds; false when it did not within `limitMs`.
bool waitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void runEventsFor(int ms) {
    waitFor([] { return false; }, ms);
}

bool saveMainWindow(const QString& file) {
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
    const bool saved = window.grab().save(file, "PNG");
    configurator.stop();
    return saved;
}

// The demo's boards and the configurator on its workers, as korvex-config-demo runs them; the
// board it opens (KX240342, encoders on every pair, 48 ms pulses) turns pair 5-6 by +5, then
// 11-12 by -3, and the window is caught as the last step arrives: its button down, its arrow lit.
bool saveInputTest(const QString& file) {
    korvex::SimulatedBus bus;
    korvex::demo::addStartingBoards(bus);
    korvex::ui::MainWindow window;
    korvex::app::Configurator configurator(bus, window.controls(), korvex::app::DeviceThreads::Worker,
                                           [&window] { window.wake(); });
    window.onWake([&configurator] { configurator.deliverResults(); });
    window.show();
    configurator.start();
    bool saved = false;
    const auto loaded = [&configurator] { return configurator.boardInView() && configurator.boardInView()->settings; };
    if (waitFor(loaded, 10000)) {
        window.showInputTest(configurator);
        QWidget* test = window.inputTest();
        const auto* forward = test->findChild<QLabel*>(QStringLiteral("Count3"));
        const auto* back = test->findChild<QLabel*>(QStringLiteral("Count6"));
        const auto device = static_cast<std::size_t>(configurator.boardInView()->serial == "KX240117" ? 0 : 1);
        korvex::demo::turnEncoder(bus, device, 3, 5, 10);
        const bool turned = waitFor([forward] { return forward->text() == QLatin1String("+5"); }, 5000);
        runEventsFor(300);  // the last release arrives and the arrow goes out
        korvex::demo::turnEncoder(bus, device, 6, -3, 10);
        if (turned && waitFor([back] { return back->text() == QLatin1String("-3"); }, 5000))
            saved = test->grab().save(file, "PNG");
        window.closeInputTest();
    }
    configurator.stop();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    const bool inputTest = argc == 3 && std::strcmp(argv[1], "--input-test") == 0;
    if (argc != 2 && !inputTest) {
        std::fprintf(stderr, "usage: %s [--input-test] FILE.png\n", argv[0]);
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setWindowIcon(korvex::ui::appIcon());
    const QString file = QString::fromLocal8Bit(argv[argc - 1]);
    return (inputTest ? saveInputTest(file) : saveMainWindow(file)) ? 0 : 1;
}
