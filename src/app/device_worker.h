// Runs device calls off the window's thread, one at a time, in the order they were posted: a board
// that takes the system's whole timeout to answer, or never answers, holds up its own worker and
// nothing else. A worker that is given up while a call still waits is left to finish on its own;
// its thread runs the jobs left (closing the board's handle among them) and then ends.
#pragma once

#include <functional>
#include <memory>

namespace korvex::app {

class DeviceWorker {
public:
    virtual ~DeviceWorker() = default;
    // Queues a job behind those already posted.
    virtual void post(std::function<void()> job) = 0;
    // A job is running or waiting.
    virtual bool busy() const = 0;

    // A worker with a thread of its own. Destroying it waits for its thread only when it is idle;
    // a busy one is left to finish its jobs and end by itself.
    static std::unique_ptr<DeviceWorker> threaded();
    // Runs each job at once on the caller's thread: for tests and measurements that drive the
    // configurator step by step and need no thread.
    static std::unique_ptr<DeviceWorker> inlined();

    // Workers given up while a job was still running whose threads have not ended yet. A program
    // that ends with some left must not wait for them (a request to a hanging board ends only
    // with the system's timeout).
    static int stillRunning();
};

}  // namespace korvex::app
