#include "input_endpoint.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

namespace korvex::tools {

namespace {

// The kernel's AIO calls, without libaio.
long ioSetup(unsigned count, aio_context_t* context) { return ::syscall(SYS_io_setup, count, context); }
long ioDestroy(aio_context_t context) { return ::syscall(SYS_io_destroy, context); }
long ioSubmit(aio_context_t context, long count, iocb** requests) {
    return ::syscall(SYS_io_submit, context, count, requests);
}
long ioCancel(aio_context_t context, iocb* request, io_event* result) {
    return ::syscall(SYS_io_cancel, context, request, result);
}
long ioGetEvents(aio_context_t context, long least, long most, io_event* events, timespec* timeout) {
    return ::syscall(SYS_io_getevents, context, least, most, events, timeout);
}

}  // namespace

bool InputEndpoint::open(int endpoint) {
    close();
    eventFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (eventFd_ < 0) return false;
    if (ioSetup(4, &context_) != 0) {
        const int error = errno;
        ::close(eventFd_);
        eventFd_ = -1;
        context_ = 0;
        errno = error;
        return false;
    }
    endpoint_ = endpoint;
    return true;
}

void InputEndpoint::close() {
    if (context_ == 0) return;
    cancel();
    ioDestroy(context_);  // waits for a report still ending
    ::close(eventFd_);
    context_ = 0;
    eventFd_ = -1;
    endpoint_ = -1;
    waiting_ = false;
}

void InputEndpoint::send(std::span<const std::uint8_t> report) {
    if (context_ == 0 || waiting_ || report.size() > buffer_.size()) return;
    std::copy(report.begin(), report.end(), buffer_.begin());
    request_ = iocb{};
    request_.aio_lio_opcode = IOCB_CMD_PWRITE;
    request_.aio_fildes = static_cast<std::uint32_t>(endpoint_);
    request_.aio_buf = reinterpret_cast<std::uintptr_t>(buffer_.data());
    request_.aio_nbytes = report.size();
    request_.aio_flags = IOCB_FLAG_RESFD;
    request_.aio_resfd = static_cast<std::uint32_t>(eventFd_);
    iocb* requests[] = {&request_};
    waiting_ = ioSubmit(context_, 1, requests) == 1;
}

void InputEndpoint::reap() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto ignored = ::read(eventFd_, &count, sizeof count);
    io_event events[4];
    timespec none{};
    if (ioGetEvents(context_, 0, 4, events, &none) > 0) waiting_ = false;
}

void InputEndpoint::cancel() {
    if (!waiting_) return;
    io_event result{};
    ioCancel(context_, &request_, &result);  // the end is reported through completions()
}

}  // namespace korvex::tools
