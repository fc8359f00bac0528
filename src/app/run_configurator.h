// How each window program runs the configurator: device calls on workers, their results taken on
// the window's thread, and an end that never waits for a board that does not answer.
#pragma once

#include "app/configurator.h"
#include "app/device_worker.h"

#include <cstdlib>
#include <functional>

namespace korvex::app {

// `Window` offers controls(), wake() (callable from any thread), onWake(), onUnload(),
// setOpenInputTest(), showInputTest(configurator) and closeInputTest(), as both windows do; `runLoop` runs its message
// loop and returns the program's exit code. `unloaded`, if given, runs when the window is closed, after the board is
// let go.
template <typename Window, typename RunLoop>
int runConfigurator(HidPlatform& platform, Window& window, RunLoop runLoop, std::function<void()> unloaded = {}) {
    int code = 0;
    {
        Configurator configurator(platform, window.controls(), DeviceThreads::Worker, [&window] { window.wake(); });
        window.onWake([&configurator] { configurator.deliverResults(); });
        window.onUnload([&configurator, &unloaded] {
            configurator.stop();
            if (unloaded) unloaded();
        });
        window.setOpenInputTest([&window, &configurator] { window.showInputTest(configurator); });
        configurator.start();
        code = runLoop();
        // The input test reads through the configurator: it goes first.
        window.closeInputTest();
        window.setOpenInputTest(nullptr);
    }
    // A request to a board that never answers ends only with the system's timeout; the program
    // does not wait for it, and the board's handle closes with the process.
    if (DeviceWorker::stillRunning() > 0) std::_Exit(code);
    return code;
}

}  // namespace korvex::app
