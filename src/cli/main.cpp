// korvexctl: the command-line companion of the configurator window.
#include "cli/korvexctl.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {
std::atomic<bool> stopRequested{false};
}

int main(int argc, char** argv) {
    // Ctrl+C ends `watch` between two reads, so the board is closed properly.
    std::signal(SIGINT, [](int) { stopRequested = true; });
    std::signal(SIGTERM, [](int) { stopRequested = true; });
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::cli::CliContext context{*platform, std::cout, std::cerr, [] { return stopRequested.load(); }, {}};
    return korvex::cli::runKorvexctl(std::vector<std::string>(argv + 1, argv + argc), context);
}
