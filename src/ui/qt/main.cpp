// korvex-config: the configurator on the boards attached to this computer.
#include "app/diagnostics.h"
#include "app/program_options.h"
#include "app/run_configurator.h"
#include "app/udev_rule.h"
#include "device/hid_platform.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    int exitCode = 0;
    if (!korvex::app::handleProgramOptions(
            argc, argv,
            {"korvex-config", KORVEX_VERSION,
             "Configure Korvex rotary encoder boards (USB 5a17:0102): the encoder mode of each button pair, "
             "the pulse length and the gaming-devices visibility."},
            exitCode)) {
        return exitCode;
    }
    // Beyond --help and --version the configurator takes no options: Qt sees only the program name.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("korvex-config"));
    QApplication::setWindowIcon(korvex::ui::appIcon());

    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    window.setDiagnostics([&platform = *platform] {
        const korvex::app::SystemPaths system;
        return korvex::app::diagnosticsReport(platform, "korvex-config " KORVEX_VERSION, &system);
    });
    // A quit that bypasses the window (the session ending) still unloads it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &QWidget::close);
    return korvex::app::runConfigurator(*platform, window, [] { return QApplication::exec(); });
}
