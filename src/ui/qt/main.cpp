// korvex-config: the configurator on the boards attached to this computer.
#include "app/configurator.h"
#include "device/hid_platform.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The configurator takes no options: Qt sees only the program name.
    (void)argc;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("korvex-config"));
    QApplication::setWindowIcon(korvex::ui::appIcon());

    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    korvex::Configurator configurator(*platform, window.controls());
    window.onUnload([&configurator] { configurator.stop(); });
    // A quit that bypasses the window (the session ending) still unloads it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &QWidget::close);
    configurator.start();
    return QApplication::exec();
}
