// korvex-config: the configurator on the boards attached to this computer.
#include "app/run_configurator.h"
#include "device/hid_platform.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

int main() {
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    return korvex::runConfigurator(*platform, window, korvex::ui::runMessageLoop, [] { PostQuitMessage(0); });
}
