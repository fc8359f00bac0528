// Finding boards by serial number. Every call walks all HID interfaces present again; no path or
// handle is remembered from one call to the next.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"

#include <string>
#include <vector>

namespace korvex {

// One board found by a walk.
struct BoardRecord {
    std::string path;
    std::string serial;        // narrowed to 8-bit text, UTF-8 encoded; empty when not opened
    HidAttributes attributes;  // read when it was opened
    // 0 when it was opened and its serial read; otherwise why it could not be opened (errno on
    // Linux, GetLastError on Windows): such a board is never listed for choosing.
    int openError = 0;

    bool usable() const { return openError == 0; }
    // The system refused this user access to the board (on Linux EACCES or EPERM: no udev rule
    // gives it; on Windows ERROR_ACCESS_DENIED), as opposed to any other failure to open it.
    bool accessDenied() const;
};

// The open error a system reports for a board this user may not open.
int accessDeniedError();

// Every board present, in enumeration order: those whose serial could be read, and those that
// could not be opened, with the reason. Leaves no handle open; does not change the connection.
std::vector<BoardRecord> scanBoards(HidPlatform& platform, DeviceSession& session);

// Opens the first board whose narrowed serial equals `serial` exactly and reads its report
// lengths. On success the connection is Open; on failure it is Closed and no handle is left open.
bool openBoard(HidPlatform& platform, DeviceSession& session, const std::string& serial);

// Opens the board a scan found at `path`, if that node still is one of our boards with `serial`
// (nodes come and go between a scan and an open), and reads its report lengths. For choosing one
// of several boards that share a serial number. Connection and handle as for openBoard.
bool openBoardAt(HidPlatform& platform, DeviceSession& session, const std::string& path, const std::string& serial);

// Reads the open board's report lengths; on failure the former values stay.
void readCapabilities(HidPlatform& platform, DeviceSession& session);

}  // namespace korvex
