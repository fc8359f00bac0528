// korvexctl: the command-line companion of the configurator window.
#include "cli/korvexctl.h"

#ifdef _WIN32
// windows.h first, in a block of its own so include sorting keeps it there: shellapi.h builds on
// its types.
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

std::atomic<int> stopSignal{0};

// The first Ctrl+C or SIGTERM asks the command to stop: it ends at its next step, with the board
// closed properly. A second one, for a command stuck in a system call, ends the process at once.
extern "C" void askToStop(int number) {
    if (stopSignal.exchange(number) != 0) {
        std::signal(number, SIG_DFL);
        std::raise(number);
    }
}

void catchStopSignals() {
#ifdef _WIN32
    std::signal(SIGINT, askToStop);
    std::signal(SIGTERM, askToStop);
#else
    // Without SA_RESTART a call waiting on the system returns early (EINTR), so the command sees
    // the request at once instead of after its wait.
    struct sigaction action {};
    action.sa_handler = askToStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

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
    catchStopSignals();
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::cli::CliContext context{*platform, std::cout, std::cerr, [] { return stopSignal.load(); }, {}};
    return korvex::cli::runKorvexctl(utf8Arguments(argc, argv), context);
}
