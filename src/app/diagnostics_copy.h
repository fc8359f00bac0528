// "Copy diagnostics" in the windows: the report is gathered on a worker thread of its own, since
// gathering opens boards and a board may hold a read for the system's whole timeout; the window
// is told when the text is there and takes it on its own thread to put it on the clipboard.
#pragma once

#include "app/device_worker.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace korvex::app {

class DiagnosticsCopy {
public:
    // `gather` runs on the worker and returns the report; `ready` is called on the worker once the
    // text waits (the window posts itself a message there, as its wake() does).
    DiagnosticsCopy(std::function<std::string()> gather, std::function<void()> ready);
    // Never calls `ready` afterwards; a gathering still under way is left to end by itself.
    ~DiagnosticsCopy();
    DiagnosticsCopy(const DiagnosticsCopy&) = delete;
    DiagnosticsCopy& operator=(const DiagnosticsCopy&) = delete;

    // Starts a gathering and returns at once; a request while one is under way adds nothing.
    void request();
    // The text gathered, once, after `ready`; nothing before or when gathering failed.
    std::optional<std::string> take();

private:
    struct Shared {
        std::mutex mutex;
        std::function<void()> ready;
        std::optional<std::string> text;
        bool underWay = false;
    };
    std::shared_ptr<Shared> shared_;
    std::function<std::string()> gather_;
    std::unique_ptr<DeviceWorker> worker_;
};

}  // namespace korvex::app
