// Input reports on a FunctionFS interrupt-IN endpoint, queued without blocking: a report waits in
// the endpoint until the host polls it (usbhid polls only while the device is open), and an
// eventfd tells when it has gone. One report at a time.
#pragma once

#include <linux/aio_abi.h>

#include <array>
#include <cstdint>
#include <span>

namespace korvex::tools {

class InputEndpoint {
public:
    InputEndpoint() = default;
    InputEndpoint(const InputEndpoint&) = delete;
    InputEndpoint& operator=(const InputEndpoint&) = delete;
    ~InputEndpoint() { close(); }

    // Takes the endpoint's descriptor (not owned); false with errno set.
    bool open(int endpoint);
    // Cancels a waiting report and waits for it to end.
    void close();
    bool opened() const { return context_ != 0; }
    // Readable when a queued report has ended (sent, cancelled or failed).
    int completions() const { return eventFd_; }
    bool waiting() const { return waiting_; }

    // Queues one report of at most 64 bytes unless one is waiting.
    void send(std::span<const std::uint8_t> report);
    // Takes the ended reports off the queue; call when completions() is readable.
    void reap();
    // Withdraws a waiting report.
    void cancel();

private:
    aio_context_t context_ = 0;
    int eventFd_ = -1;
    int endpoint_ = -1;
    bool waiting_ = false;
    iocb request_{};
    std::array<std::uint8_t, 64> buffer_{};  // must live until the report ends
};

}  // namespace korvex::tools
