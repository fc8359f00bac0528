// korvexctl: the command-line companion of the configurator window.
#include "cli/korvexctl.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
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
    for (int i = 1; wide && i < count; ++i) {
        const int length = static_cast<int>(wcslen(wide[i]));
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], length, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], length, argument.data(), bytes, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
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
