#include "virtual_board.h"

#include "common/board_descriptor.h"
#include "device/hid_platform.h"

#include <array>
#include <string>

namespace korvex::tools {

namespace {

constexpr std::uint8_t kMouseDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,              //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,
    0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  //     three buttons
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,              //     padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81,
    0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06,  //     X, Y relative
    0xC0, 0xC0,
};
constexpr std::uint16_t kMouseProductId = 0x0103;

}  // namespace

bool VirtualBoard::plug() {
    if (device_.created()) return true;
    const std::string name = std::string(kBoardManufacturer) + " " + kBoardProduct;  // as usbhid names a USB board
    return device_.create(UhidIdentity{name, serial_, kBoardVendorId, kBoardProductId, version_,
                                       boardReportDescriptor(), kBoardFeatureLength});
}

void VirtualBoard::sendButtons() {
    if (silent_ || !device_.created()) return;
    device_.sendInput(firmware_.nextInputReport());
}

std::optional<std::size_t> VirtualBoard::getFeature(std::uint8_t reportId, std::span<std::uint8_t> report) {
    if (reportId != 0) return 0;
    if (firmware_.fault() == FeatureFault::Hang) return std::nullopt;
    const std::size_t answered = firmware_.answerFeature(report);
    if (answered > 0 && log_) log_("get", report.first(answered));
    return answered;
}

bool VirtualBoard::setFeature(std::uint8_t reportId, std::span<const std::uint8_t> report) {
    // A report the firmware does not understand is still taken off the wire, and ignored.
    if (reportId != 0 || firmware_.fault() == FeatureFault::Refuse) return false;
    if (log_) log_("set", report);
    firmware_.receiveFeature(report);
    return true;
}

bool OtherHidDevice::plug() {
    return device_.create(
        UhidIdentity{"Korvex Test Mouse", "MOUSE0001", kBoardVendorId, kMouseProductId, 0x0100, kMouseDescriptor, 0});
}

}  // namespace korvex::tools
