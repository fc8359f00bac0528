#include "uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace korvex::tools {

namespace {

bool send(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

template <std::size_t N>
void copyText(std::uint8_t (&field)[N], const std::string& text) {
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));  // the event was zeroed
}

}  // namespace

bool UhidDevice::create(const UhidIdentity& identity) {
    destroy();
    if (identity.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE || identity.featureLength > UHID_DATA_MAX) {
        errno = EINVAL;
        return false;
    }
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    featureLength_ = identity.featureLength;
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    copyText(create.name, identity.name);
    copyText(create.phys, "korvex-virtual-board");
    copyText(create.uniq, identity.serial);
    create.rd_size = static_cast<__u16>(identity.descriptor.size());
    create.bus = BUS_USB;
    create.vendor = identity.vendor;
    create.product = identity.product;
    create.version = identity.version;
    std::copy(identity.descriptor.begin(), identity.descriptor.end(), create.rd_data);
    if (!send(fd_, event)) {
        const int error = errno;
        destroy();
        errno = error;
        return false;
    }
    return true;
}

void UhidDevice::destroy() {
    if (fd_ < 0) return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    send(fd_, event);
    ::close(fd_);
    fd_ = -1;
}

bool UhidDevice::sendInput(std::span<const std::uint8_t> report) {
    if (fd_ < 0 || report.size() > UHID_DATA_MAX) return false;
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<__u16>(report.size());
    std::copy(report.begin(), report.end(), event.u.input2.data);
    return send(fd_, event);
}

bool UhidDevice::handleEvent(FeatureAnswerer& answerer) {
    uhid_event event{};
    const ssize_t got = ::read(fd_, &event, sizeof event);
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    if (static_cast<std::size_t>(got) < sizeof event.type) return false;

    uhid_event reply{};
    if (event.type == UHID_GET_REPORT) {
        const auto& request = event.u.get_report;
        // The answer is {report ID, payload}, as a USB board puts it on the wire.
        std::vector<std::uint8_t> report(featureLength_, 0);
        const auto answered = request.rtype == UHID_FEATURE_REPORT && !report.empty()
                                  ? answerer.getFeature(request.rnum, report)
                                  : std::optional<std::size_t>(0);
        if (!answered) return true;  // no reply: the kernel gives up on the request after 5 s
        const std::size_t size = std::min(*answered, report.size());
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.id;
        reply.u.get_report_reply.err = size > 0 ? 0 : EIO;
        reply.u.get_report_reply.size = static_cast<__u16>(size);
        std::copy_n(report.begin(), size, reply.u.get_report_reply.data);
        return send(fd_, reply);
    }
    if (event.type == UHID_SET_REPORT) {
        const auto& request = event.u.set_report;
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.id;
        // The data arrives as {report ID, payload}; its size is the kernel's, bounded by our copy.
        const std::size_t size = std::min<std::size_t>(request.size, UHID_DATA_MAX);
        const bool ok = request.rtype == UHID_FEATURE_REPORT &&
                        answerer.setFeature(request.rnum, std::span<const std::uint8_t>(request.data, size));
        reply.u.set_report_reply.err = ok ? 0 : EIO;
        return send(fd_, reply);
    }
    // START, STOP, OPEN, CLOSE and OUTPUT need no answer.
    return true;
}

}  // namespace korvex::tools
