// The checks against boards that are real USB devices (korvex-usb-board on dummy_hcd), run next to
// a uhid board in the same kernel.
#pragma once

#include <string>

namespace korvex::kerneltest {

// Runs every check, printing each; returns how many failed. The USB board program is looked for
// next to the uhid one.
int usbBoardChecks(const std::string& uhidBoardProgram);

}  // namespace korvex::kerneltest
