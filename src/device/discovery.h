// Finding boards by serial number: every call walks all HID interfaces present again; no path or
// handle is remembered from one call to the next.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "ui/controls.h"

namespace korvex {

// Lists the serial number of every attached board in `SerNo`, in enumeration order, and selects
// the last one listed. Leaves no handle open and does not touch deviceDetected.
void Scan_USB_devices(HidPlatform& platform, DeviceSession& session, ui::ListControl& SerNo);

// Opens the first board whose serial equals SerNo's text and reads its capabilities. Returns (and
// stores in deviceDetected) whether it is open; on failure no handle is left open.
bool FindTheHid(HidPlatform& platform, DeviceSession& session, const ui::ListControl& SerNo);

// Reads the open board's report lengths; on failure the former values stay.
void ReadCapabilities(HidPlatform& platform, DeviceSession& session);

}  // namespace korvex
