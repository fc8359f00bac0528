#include "device/discovery.h"

#include "device/device_strings.h"

#include <array>
#include <cerrno>
#include <functional>

namespace korvex {

namespace {

// What a walk does with a board whose serial it read: keep its handle open and stop, or go on.
enum class Verdict { CloseAndContinue, KeepAndStop };

using BoardVisitor = std::function<Verdict(const std::string& serial)>;
using RefusalVisitor = std::function<void(const std::string& path, int error)>;

// Walks every present interface, opening each; for boards with a readable serial, asks `onBoard`.
// Every handle is closed again unless `onBoard` keeps it. Boards that refuse the open go to
// `onRefused`, when given.
void walkBoards(HidPlatform& platform, DeviceSession& session, const BoardVisitor& onBoard,
                const RefusalVisitor& onRefused = {}) {
    const auto walk = platform.walkInterfaces();
    for (std::uint32_t index = 0;; ++index) {
        std::string path;
        if (!walk->interfacePath(index, path)) return;
        session.devicePath = path;
        const HidHandle handle = platform.open(path);
        if (handle == kInvalidHandle) {
            if (onRefused && platform.lastOpenError() != 0) onRefused(path, platform.lastOpenError());
            continue;
        }
        session.deviceHandle = handle;

        const bool candidate = platform.getAttributes(handle, session.attributes) &&
                               session.attributes.vendorId == kBoardVendorId &&
                               session.attributes.productId == kBoardProductId;
        // A board is listed and found by its serial number narrowed to 8-bit text.
        std::string serial;
        if (candidate && platform.getString(handle, HidString::SerialNumber, serial) &&
            onBoard(narrowDeviceString(serial)) == Verdict::KeepAndStop) {
            return;
        }
        platform.close(handle);
        session.deviceHandle = kInvalidHandle;
    }
}

}  // namespace

bool BoardRecord::accessDenied() const {
#ifdef _WIN32
    return openError == accessDeniedError();
#else
    return openError == EACCES || openError == EPERM;
#endif
}

int accessDeniedError() {
#ifdef _WIN32
    return 5;  // ERROR_ACCESS_DENIED, without windows.h in the core
#else
    return EACCES;
#endif
}

std::vector<BoardRecord> scanBoards(HidPlatform& platform, DeviceSession& session) {
    std::vector<BoardRecord> boards;
    walkBoards(
        platform, session,
        [&](const std::string& serial) {
            boards.push_back({session.devicePath, serial, session.attributes, 0});
            return Verdict::CloseAndContinue;
        },
        [&](const std::string& path, int error) {
            boards.push_back({path, {}, {}, error});
        });
    return boards;
}

bool openBoard(HidPlatform& platform, DeviceSession& session, const std::string& serial) {
    session.connection = Connection::Closed;
    walkBoards(platform, session, [&](const std::string& found) {
        if (found != serial) return Verdict::CloseAndContinue;
        session.connection = Connection::Open;
        return Verdict::KeepAndStop;
    });
    if (!session.boardOpen()) return false;
    readCapabilities(platform, session);
    return true;
}

bool openBoardAt(HidPlatform& platform, DeviceSession& session, const std::string& path, const std::string& serial) {
    session.connection = Connection::Closed;
    session.devicePath = path;
    const HidHandle handle = platform.open(path);
    if (handle == kInvalidHandle) return false;
    std::string found;
    const bool same = platform.getAttributes(handle, session.attributes) &&
                      session.attributes.vendorId == kBoardVendorId &&
                      session.attributes.productId == kBoardProductId &&
                      platform.getString(handle, HidString::SerialNumber, found) && narrowDeviceString(found) == serial;
    if (!same) {
        platform.close(handle);
        return false;
    }
    session.deviceHandle = handle;
    session.connection = Connection::Open;
    readCapabilities(platform, session);
    return true;
}

void readCapabilities(HidPlatform& platform, DeviceSession& session) {
    platform.getCaps(session.deviceHandle, session.capabilities);
}

}  // namespace korvex
