#include "device/discovery.h"

#include "device/device_strings.h"

#include <array>
#include <functional>

namespace korvex {

namespace {

// What a walk does with a board whose serial it read: keep its handle open and stop, or go on.
enum class Verdict { CloseAndContinue, KeepAndStop };

// Walks every present interface, opening each; for boards with a readable serial, asks `onBoard`.
// Every handle is closed again unless `onBoard` keeps it.
void walkBoards(HidPlatform& platform, DeviceSession& session,
                const std::function<Verdict(const std::string& serial)>& onBoard) {
    std::array<std::uint8_t, kDeviceStringBufferBytes> serialBuffer{};  // zeroed once per walk
    const auto walk = platform.walkInterfaces();
    for (std::uint32_t index = 0;; ++index) {
        std::string path;
        if (!walk->interfacePath(index, path)) {
            session.enumerationEnded = true;
            return;
        }
        session.devicePath = path;
        const HidHandle handle = platform.open(path);
        if (handle == kInvalidHandle) continue;
        session.deviceHandle = handle;

        session.attributes.Size = 12;
        const bool candidate = platform.getAttributes(handle, session.attributes) &&
                               session.attributes.VendorID == kBoardVendorId &&
                               session.attributes.ProductID == kBoardProductId;
        const std::span<std::uint8_t> serialBytes(serialBuffer.data(), kDeviceStringBytes);
        if (candidate && platform.getString(handle, HidString::SerialNumber, serialBytes) &&
            onBoard(NarrowDeviceString(serialBuffer)) == Verdict::KeepAndStop) {
            return;
        }
        platform.close(handle);
        session.deviceHandle = kInvalidHandle;
    }
}

}  // namespace

void Scan_USB_devices(HidPlatform& platform, DeviceSession& session, ui::ListControl& SerNo) {
    session.serialListReady = false;
    SerNo.clear();
    SerNo.setEnabled(false);
    int counter = -1;
    session.enumerationEnded = false;
    walkBoards(platform, session, [&](const std::string& serial) {
        ++counter;
        SerNo.addItem(serial, counter);
        SerNo.setListIndex(counter);
        return Verdict::CloseAndContinue;
    });
    if (counter > 0) SerNo.setEnabled(true);
    session.serialListReady = true;
}

bool FindTheHid(HidPlatform& platform, DeviceSession& session, const ui::ListControl& SerNo) {
    session.enumerationEnded = false;
    session.deviceDetected = false;
    const std::string wanted = SerNo.text();
    walkBoards(platform, session, [&](const std::string& serial) {
        if (serial != wanted) return Verdict::CloseAndContinue;
        session.deviceDetected = true;
        return Verdict::KeepAndStop;
    });
    if (!session.deviceDetected) return false;
    ReadCapabilities(platform, session);
    return true;
}

void ReadCapabilities(HidPlatform& platform, DeviceSession& session) {
    platform.getCaps(session.deviceHandle, session.capabilities);
}

}  // namespace korvex
