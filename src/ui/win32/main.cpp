// korvex-config: the configurator on the boards attached to this computer.
#include "app/configurator.h"
#include "device/hid_platform.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

#include <cstdlib>

int main() {
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    int code = 0;
    {
        korvex::Configurator configurator(*platform, window.controls(), korvex::DeviceThreads::Worker,
                                          [&window] { window.wake(); });
        window.onWake([&configurator] { configurator.deliverResults(); });
        window.onUnload([&configurator] {
            configurator.stop();
            PostQuitMessage(0);
        });
        configurator.start();
        code = korvex::ui::runMessageLoop();
    }
    // A request to a board that never answers ends only with the system's timeout; the process
    // does not wait for it, and its handle closes with the process.
    if (korvex::DeviceWorker::stillRunning() > 0) std::_Exit(code);
    return code;
}
