// korvex-startup-probe LAUNCH_NS: the configurator's window on one simulated board, timed from
// LAUNCH_NS (wall clock in nanoseconds, taken by the shell just before starting the probe) to the
// window's first paint. Prints that time and the resident memory at that moment, then exits.
#include "app/configurator.h"
#include "simulation/simulated_bus.h"
#include "ui/qt/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QByteArray residentMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return "unknown";
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed();
    return "unknown";
}

class FirstPaint final : public QObject {
public:
    explicit FirstPaint(long long launched) : launched_(launched) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            const long long elapsed = nowNs() - launched_;
            QTimer::singleShot(0, [elapsed] {
                std::printf("window shown after %.1f ms; VmRSS %s\n", elapsed / 1e6, residentMemory().constData());
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    long long launched_;
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const long long launched = argc > 1 ? std::atoll(argv[1]) : nowNs();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    korvex::SimulatedBus bus;
    bus.addDevice(korvex::SimDeviceInfo{});
    korvex::ui::MainWindow window;
    FirstPaint probe(launched);
    window.installEventFilter(&probe);
    korvex::app::Configurator configurator(bus, window.controls());
    window.onUnload([&configurator] { configurator.stop(); });
    configurator.start();
    const int status = QApplication::exec();
    window.close();
    return status;
}
