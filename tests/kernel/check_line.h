// The verdicts of one group of kernel checks: each printed as "  ok   what" or "  FAIL what",
// led by the board program's name where one is set; failures counted until taken. And the
// milliseconds a step took, as the checks print them.
#pragma once

#include <chrono>
#include <iostream>
#include <string>
#include <utility>

namespace korvex::kerneltest {

struct CheckLog {
    std::string kind;
    int failures = 0;

    bool operator()(bool ok, const std::string& what) {
        std::cout << (ok ? "  ok   " : "  FAIL ") << (kind.empty() ? std::string() : kind + ": ") << what << std::endl;
        if (!ok) ++failures;
        return ok;
    }
    int takeFailures() { return std::exchange(failures, 0); }
};

inline long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace korvex::kerneltest
