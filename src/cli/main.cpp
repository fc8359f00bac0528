// korvexctl: the command-line companion of the configurator window.
#include "cli/korvexctl.h"

#ifdef _WIN32
// windows.h in a block of its own, so that sorting keeps it before shellapi.h, which needs it.
#include <windows.h>

#include <shellapi.h>

#include "device/windows/wide_text.h"
#endif

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

// The arguments in UTF-8, as serial numbers and file names are compared and opened. Windows hands
// main() its arguments in the system code page, which cannot hold every serial: take the wide
// command line instead, and print in UTF-8.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) arguments.push_back(korvex::fromWide(wide[i]));
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl+C ends `watch` between two reads, so the board is closed properly.
    std::signal(SIGINT, [](int) { stopRequested = true; });
    std::signal(SIGTERM, [](int) { stopRequested = true; });
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::cli::CliContext context{*platform, std::cout, std::cerr, [] { return stopRequested.load(); }, {}};
    return korvex::cli::runKorvexctl(utf8Arguments(argc, argv), context);
}
