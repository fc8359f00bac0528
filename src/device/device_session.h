// The window-level connection state: one per window, alive as long as the window.
#pragma once

#include "device/hid_platform.h"

#include <array>
#include <cstdint>
#include <string>

namespace korvex {

// Every get-feature response lands here; a request never asks for more than this.
inline constexpr std::size_t kFeatureResponseBytes = 66;

struct DeviceSession {
    HidHandle deviceHandle = kInvalidHandle;  // open exactly while deviceDetected is true
    std::string devicePath;                   // path of the interface examined last
    HidAttributes attributes;                 // of the interface examined last, or the selected board
    HidCaps capabilities;                     // of the selected board
    std::array<std::uint8_t, kFeatureResponseBytes> featureResponse{};

    bool deviceDetected = false;   // the selected board is open
    bool enumerationEnded = false; // the last walk ran out of interfaces
    bool settingsLoaded = false;   // every settings control holds the value read from the board
    bool reselectPending = false;  // the user picked a serial number that has not been opened yet
    bool serialListReady = false;  // the serial-number list is complete
    // A request to the open board failed after it was opened (a read-back or a write), so what the
    // window shows may not be what the board holds: the next tick closes, finds and reads it again.
    bool deviceFaulted = false;
};

}  // namespace korvex
