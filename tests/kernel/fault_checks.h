// Boards that share a serial number and boards whose firmware answers short or never, on one kind
// of virtual board (uhid or USB): what korvexctl and the configurator's logic make of them.
#pragma once

#include <string>

namespace korvex::kerneltest {

// Runs every check with the board program `boardProgram`, printing each; returns how many failed.
int boardFaultChecks(const std::string& boardProgram, const std::string& korvexctl);

}  // namespace korvex::kerneltest
