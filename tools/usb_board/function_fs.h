// One FunctionFS instance describing a HID interface: mounted, its descriptors and strings written
// to ep0, its interrupt-IN endpoint open. ep0 then carries the host's events and the control
// requests addressed to the interface, which the owner answers.
#pragma once

#include <linux/usb/functionfs.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvex::tools {

class FunctionFs {
public:
    FunctionFs() = default;
    FunctionFs(const FunctionFs&) = delete;
    FunctionFs& operator=(const FunctionFs&) = delete;
    ~FunctionFs() { close(); }

    // Mounts instance `name` (the configfs function ffs.`name` must exist) and describes one HID
    // interface with a report descriptor of `reportDescriptorLength` bytes and one interrupt-IN
    // endpoint; false with errno set.
    bool open(const std::string& name, std::size_t reportDescriptorLength);
    // Closes the endpoints and unmounts; unbind the gadget first.
    void close();
    bool opened() const { return ep0_ >= 0; }
    int ep0() const { return ep0_; }
    // Readable once an event is added to ep0's queue after the last drainNotifier(). While a SETUP
    // read from ep0 waits for its answer, ep0 itself polls readable all the time, and reading it
    // would stall that request: a board that leaves a request unanswered waits on this instead.
    int eventNotifier() const { return notifier_; }
    void drainNotifier();
    int inputEndpoint() const { return ep1_; }

    // The events waiting on ep0, at most four; empty when none could be read. A SETUP left
    // unanswered is given up first: the host's next event cancelled it.
    std::vector<usb_functionfs_event> readEvents();

    // The answers to the pending SETUP. Data to the host, at most the length it asked for.
    bool sendData(std::span<const std::uint8_t> data);
    // The data stage from the host into `data` (sized to the request's wLength); nothing on failure.
    std::optional<std::size_t> receiveData(std::span<std::uint8_t> data);
    // The status stage of a request without data.
    bool acknowledge();
    // Refuses the request: the host's transfer ends in a stall.
    void stall(const usb_ctrlrequest& setup);

private:
    std::string mountPoint_;
    int ep0_ = -1;
    int ep1_ = -1;
    int notifier_ = -1;  // an eventfd that FunctionFS signals for every event it adds
};

// The HID class descriptor that goes with a report descriptor of that length.
std::vector<std::uint8_t> hidClassDescriptor(std::size_t reportDescriptorLength);

}  // namespace korvex::tools
