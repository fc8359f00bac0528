#include "usb_board.h"

#include "common/board_descriptor.h"
#include "device/hid_platform.h"

#include <endian.h>
#include <linux/hid.h>

#include <array>
#include <cerrno>

namespace korvex::tools {

namespace {

constexpr std::uint8_t kStandardInterfaceIn = USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_INTERFACE;
constexpr std::uint8_t kClassInterfaceIn = USB_DIR_IN | USB_TYPE_CLASS | USB_RECIP_INTERFACE;
constexpr std::uint8_t kClassInterfaceOut = USB_DIR_OUT | USB_TYPE_CLASS | USB_RECIP_INTERFACE;
constexpr std::uint8_t kInputReport = 1;
constexpr std::uint8_t kFeatureReport = 3;

// The longest report data this board takes in one SET_REPORT; anything longer is refused.
constexpr std::size_t kMaxSetReportBytes = 64;

}  // namespace

bool UsbBoard::make() {
    const GadgetIdentity identity{kBoardVendorId,     kBoardProductId, setup_.version,
                                  kBoardManufacturer, kBoardProduct,   setup_.serial};
    if (!gadget_.create(name_, name_, identity)) return false;
    if (function_.open(name_, boardReportDescriptor().size()) && input_.open(function_.inputEndpoint())) return true;
    const int error = errno;
    remove();
    errno = error;
    return false;
}

bool UsbBoard::plug() {
    if (plugged_) return true;
    if (!function_.opened() && !make()) return false;
    if (controller_.empty()) {
        for (const std::string& controller : dummyControllers()) {
            if (gadget_.bind(controller)) {
                controller_ = controller;
                break;
            }
        }
        if (controller_.empty()) {
            errno = EBUSY;  // no dummy_hcd controller left: load it with num= at least the boards
            return false;
        }
    } else if (!gadget_.bind(controller_)) {
        return false;
    }
    plugged_ = true;
    return true;
}

void UsbBoard::unplug() {
    if (!plugged_) return;
    gadget_.unbind();
    input_.cancel();
    plugged_ = enabled_ = false;
}

void UsbBoard::remove() {
    unplug();
    input_.close();
    function_.close();
    gadget_.remove();
}

void UsbBoard::setSilent(bool silent) {
    setup_.silent = silent;
    if (silent) input_.cancel();  // a report already waiting would still reach the host
}

void UsbBoard::sendButtons() {
    if (setup_.silent || !plugged_ || !enabled_ || input_.waiting()) return;
    input_.send(firmware_.nextInputReport());
}

void UsbBoard::handleControl() {
    // Every event added from here on signals the notifier again, so a request left unanswered
    // below is waited out on it.
    function_.drainNotifier();
    unanswered_ = false;
    for (const usb_functionfs_event& event : function_.readEvents()) {
        switch (event.type) {
        case FUNCTIONFS_ENABLE: enabled_ = true; break;
        case FUNCTIONFS_DISABLE:
        case FUNCTIONFS_UNBIND: enabled_ = false; break;
        case FUNCTIONFS_SETUP: answer(event.u.setup); break;
        default: break;
        }
    }
}

// The HID requests a host makes of the interface. A board without report IDs puts a report on the
// wire without its ID byte; the firmware model sees it with the byte, as 0.
void UsbBoard::answer(const usb_ctrlrequest& setup) {
    const std::uint16_t value = le16toh(setup.wValue);
    const std::uint16_t length = le16toh(setup.wLength);
    const std::uint8_t reportType = value >> 8, reportId = value & 0xFF;
    const auto reply = [this, length](std::span<const std::uint8_t> data) {
        function_.sendData(data.first(std::min<std::size_t>(data.size(), length)));
    };

    if (setup.bRequestType == kStandardInterfaceIn && setup.bRequest == USB_REQ_GET_DESCRIPTOR) {
        if (reportType == HID_DT_REPORT) return reply(boardReportDescriptor());
        if (reportType == HID_DT_HID) return reply(hidClassDescriptor(boardReportDescriptor().size()));
    } else if (setup.bRequestType == kClassInterfaceIn) {
        if (setup.bRequest == HID_REQ_GET_REPORT && reportId == 0 && reportType == kFeatureReport) {
            if (firmware_.fault() == FeatureFault::Hang) {
                unanswered_ = true;  // no data stage and no stall: the host's transfer times out
                return;
            }
            std::array<std::uint8_t, kBoardFeatureLength> report{};
            const std::size_t answered = firmware_.answerFeature(report);
            if (answered > 0) {
                if (log_) log_("get", std::span(report).first(answered));
                // Without report IDs the ID byte is not on the wire: a short answer of 2 bytes is
                // a 1-byte data stage, which the host returns as 2 with the ID put back in front.
                return reply(std::span(report).subspan(1, answered - 1));
            }
        }
        if (setup.bRequest == HID_REQ_GET_REPORT && reportId == 0 && reportType == kInputReport) {
            return reply(firmware_.currentInputReport());
        }
        if (setup.bRequest == HID_REQ_GET_IDLE) return reply(std::span(&idle_, 1));
    } else if (setup.bRequestType == kClassInterfaceOut) {
        if (setup.bRequest == HID_REQ_SET_REPORT && reportId == 0 && reportType == kFeatureReport &&
            firmware_.fault() != FeatureFault::Refuse && length <= kMaxSetReportBytes) {
            std::array<std::uint8_t, kMaxSetReportBytes + 1> report{};  // byte 0: the report ID, 0
            const auto got = function_.receiveData(std::span(report).subspan(1, length));
            if (!got) return;  // the host gave up on the request
            const auto received = std::span(report).first(*got + 1);
            // A report the firmware does not understand is still taken off the wire, and ignored.
            if (log_) log_("set", received);
            firmware_.receiveFeature(received);
            return;
        }
        if (setup.bRequest == HID_REQ_SET_IDLE && length == 0) {
            idle_ = static_cast<std::uint8_t>(value >> 8);
            function_.acknowledge();
            return;
        }
    }
    function_.stall(setup);
}

}  // namespace korvex::tools
