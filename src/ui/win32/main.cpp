// korvex-config: the configurator on the boards attached to this computer.
#include "app/configurator.h"
#include "device/hid_platform.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

int main() {
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    korvex::Configurator configurator(*platform, window.controls());
    window.onUnload([&configurator] {
        configurator.stop();
        PostQuitMessage(0);
    });
    configurator.start();
    return korvex::ui::runMessageLoop();
}
