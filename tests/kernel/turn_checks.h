// An encoder turned on one kind of virtual board (uhid or USB), watched by korvexctl as a person
// would watch it: every step counted in its direction, the pulse lengths measured, no glitch.
#pragma once

#include <string>

namespace korvex::kerneltest {

// Runs every check with the board program `boardProgram`, printing each; returns how many failed.
int encoderTurnChecks(const std::string& boardProgram, const std::string& korvexctl);

}  // namespace korvex::kerneltest
