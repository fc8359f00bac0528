#include "app/diagnostics_copy.h"

#include <exception>
#include <utility>

namespace korvex::app {

DiagnosticsCopy::DiagnosticsCopy(std::function<std::string()> gather, std::function<void()> ready)
    : shared_(std::make_shared<Shared>()), gather_(std::move(gather)), worker_(DeviceWorker::threaded()) {
    shared_->ready = std::move(ready);
}

DiagnosticsCopy::~DiagnosticsCopy() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->ready = nullptr;
    }
    worker_.reset();  // waits a moment for a gathering about to end, never for a board that hangs
}

void DiagnosticsCopy::request() {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->underWay) return;
        shared_->underWay = true;
    }
    worker_->post([shared = shared_, gather = gather_] {
        std::optional<std::string> text;
        try {
            text = gather();
        } catch (const std::exception&) {
            // Nothing goes to the clipboard rather than a part of the report.
        }
        const std::lock_guard lock(shared->mutex);
        shared->underWay = false;
        if (!text) return;
        shared->text = std::move(text);
        // Under the lock: the window cannot be going away while it is told.
        if (shared->ready) shared->ready();
    });
}

std::optional<std::string> DiagnosticsCopy::take() {
    const std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->text, std::nullopt);
}

}  // namespace korvex::app
