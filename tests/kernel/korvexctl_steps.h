// korvexctl, the real program, run against a virtual board on the real kernel.
#pragma once

#include "board_process.h"

#include <functional>
#include <string>
#include <vector>

namespace korvex::kerneltest {

using Check = std::function<bool(bool ok, const std::string& what)>;

struct KorvexctlRun {
    int exitCode = -1;
    std::string output;  // standard output; standard error goes to the console
};
// Runs korvexctl with `arguments` to its end.
KorvexctlRun runKorvexctl(const std::string& program, const std::vector<std::string>& arguments);

// list, show, set, save, load and watch on the talking board `serial`, which holds modes 0x5A and
// 0x0F, pulse code 7 and hide 1 when this starts. `boards` runs the virtual boards.
void runKorvexctlSteps(const std::string& korvexctl, BoardProcess& boards, const std::string& serial,
                       const Check& check);

}  // namespace korvex::kerneltest
