#include "app/device_worker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace korvex::app {

namespace {

std::atomic<int> abandonedRunning{0};
constexpr std::chrono::milliseconds kDrainWait{100};

// What a worker's thread shares with its owner; the thread keeps it alive after the owner is gone.
struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::condition_variable drained;  // the queue ran empty
    std::deque<std::function<void()>> jobs;
    bool running = false;  // a job is under way
    bool ending = false;   // the owner is gone: run what is queued, then end
    bool abandoned = false;
};

void serve(const std::shared_ptr<Queue>& queue) {
    std::unique_lock lock(queue->mutex);
    for (;;) {
        queue->ready.wait(lock, [&] { return !queue->jobs.empty() || queue->ending; });
        if (queue->jobs.empty()) break;
        auto job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
        queue->running = true;
        lock.unlock();
        job();
        job = nullptr;  // whatever the job holds goes before the worker counts as idle
        lock.lock();
        queue->running = false;
        if (queue->jobs.empty()) queue->drained.notify_all();
    }
    if (queue->abandoned) --abandonedRunning;
}

class ThreadWorker final : public DeviceWorker {
public:
    ThreadWorker() : queue_(std::make_shared<Queue>()), thread_([queue = queue_] { serve(queue); }) {}

    ~ThreadWorker() override {
        std::unique_lock lock(queue_->mutex);
        queue_->ending = true;
        lock.unlock();
        queue_->ready.notify_one();
        lock.lock();
        // The last jobs (closing a board, say) usually take a moment: wait that long, never for a
        // board that does not answer.
        const bool idle =
            queue_->drained.wait_for(lock, kDrainWait, [&] { return !queue_->running && queue_->jobs.empty(); });
        if (!idle) {
            queue_->abandoned = true;
            ++abandonedRunning;
        }
        lock.unlock();
        if (idle) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }

    void post(std::function<void()> job) override {
        {
            const std::lock_guard lock(queue_->mutex);
            queue_->jobs.push_back(std::move(job));
        }
        queue_->ready.notify_one();
    }

    bool busy() const override {
        const std::lock_guard lock(queue_->mutex);
        return queue_->running || !queue_->jobs.empty();
    }

private:
    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};

class InlineWorker final : public DeviceWorker {
public:
    void post(std::function<void()> job) override {
        ++depth_;
        job();
        --depth_;
    }
    bool busy() const override { return depth_ > 0; }

private:
    int depth_ = 0;
};

}  // namespace

std::unique_ptr<DeviceWorker> DeviceWorker::threaded() { return std::make_unique<ThreadWorker>(); }
std::unique_ptr<DeviceWorker> DeviceWorker::inlined() { return std::make_unique<InlineWorker>(); }
int DeviceWorker::stillRunning() { return abandonedRunning.load(); }

}  // namespace korvex::app
