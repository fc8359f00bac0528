// Makes the window show the board that is open now: its details, and its settings read back.
#pragma once

#include "device/device_session.h"
#include "device/hid_platform.h"
#include "ui/form_controls.h"

#include <string>

namespace korvex {

inline constexpr const char* kFirmwareWarning = " - upgrade firmware!";

// " 1.14" for 0x0114: a blank, major in decimal, ".", minor in upper-case hexadecimal.
std::string versionCaption(std::uint16_t versionNumber);

// Rebuilds the panel from scratch. settingsLoaded is false from its first step and becomes true
// only as its last, after every settings control holds the value read from the board, so the
// clicks it raises write nothing back. A read-back request that fails leaves the settings
// controls empty and disabled and marks the board faulted.
void RefreshDevicePanel(HidPlatform& platform, DeviceSession& session, ui::FormControls& controls);

}  // namespace korvex
