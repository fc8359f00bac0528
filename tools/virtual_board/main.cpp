// korvex-virtual-board: rotary-encoder boards that exist only in the kernel, through /dev/uhid.
//
//   korvex-virtual-board [--board SERIAL[,VERSION[,silent]]]... [--other] [--period MS] [--log]
//
// VERSION is the release number in hex as USB writes it (0114 is 1.14; the default). --other adds
// a HID mouse with another product ID. Each board sends an input report every MS milliseconds
// (default 100) unless silent. Commands on standard input as common/board_console.h lists them.
// "ready" is printed once every device exists. SIGINT and SIGTERM unplug everything and exit.
// --log prints every feature request a board receives: "feature SERIAL set 00 EE 08 10 ..." for a
// report sent to it, "feature SERIAL get 00 08 05 ..." for its answer to a get-feature request.
#include "virtual_board.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <list>
#include <string>
#include <utility>
#include <vector>

using namespace korvex::tools;

namespace {

struct Options {
    std::list<VirtualBoard> boards;  // a list: boards are not moved once their device exists
    bool other = false;
    bool log = false;
    int periodMs = 100;
};

bool parseBoard(const std::string& text, Options& options) {
    const auto setup = parseBoardSetup(text);
    if (setup) options.boards.emplace_back(*setup);
    return setup.has_value();
}

bool parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--board" && hasValue) {
            if (!parseBoard(argv[++i], options)) return false;
        } else if (argument == "--other") {
            options.other = true;
        } else if (argument == "--log") {
            options.log = true;
        } else if (argument == "--period" && hasValue) {
            options.periodMs = std::atoi(argv[++i]);
            if (options.periodMs < 1) return false;
        } else {
            return false;
        }
    }
    if (options.boards.empty()) options.boards.emplace_back(BoardSetup{"KX000001"});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseArguments(argc, argv, options)) {
        std::cerr << "usage: korvex-virtual-board [--board SERIAL[,VERSION[,silent]]]... [--other] [--period MS] [--log]\n";
        return 2;
    }
    // Signals are taken only inside ppoll(), so the loop always sees them.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    static volatile sig_atomic_t stopping = 0;
    struct sigaction onStop {};
    onStop.sa_handler = [](int) { stopping = 1; };
    sigaction(SIGINT, &onStop, nullptr);
    sigaction(SIGTERM, &onStop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    for (auto& board : options.boards) {
        if (options.log) {
            board.onFeature([serial = board.serial()](const std::string& direction, std::span<const std::uint8_t> report) {
                say(featureLine(serial, direction, report));
            });
        }
        if (!board.plug()) {
            std::cerr << "korvex-virtual-board: /dev/uhid: " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    OtherHidDevice other;
    if (options.other && !other.plug()) {
        std::cerr << "korvex-virtual-board: /dev/uhid: " << std::strerror(errno) << "\n";
        return 1;
    }
    say("ready");

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(options.periodMs);
    auto nextInput = Clock::now() + period;
    bool readingCommands = true;
    CommandInput commands;
    std::vector<ConsoleBoard*> consoleBoards;
    for (auto& board : options.boards) consoleBoards.push_back(&board);
    while (!stopping) {
        std::vector<pollfd> watched;
        std::vector<std::pair<UhidDevice*, FeatureAnswerer*>> devices;  // one per watched device
        if (readingCommands) watched.push_back({STDIN_FILENO, POLLIN, 0});
        for (auto& board : options.boards) {
            if (!board.device().created()) continue;
            watched.push_back({board.device().fd(), POLLIN, 0});
            devices.emplace_back(&board.device(), &board);
        }
        if (other.device().created()) {
            watched.push_back({other.device().fd(), POLLIN, 0});
            devices.emplace_back(&other.device(), &other);
        }
        const auto wait = std::max(Clock::duration::zero(), nextInput - Clock::now());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count())};
        const int ready = ppoll(watched.data(), watched.size(), &timeout, &waitMask);
        if (ready < 0 && errno != EINTR) break;

        const std::size_t first = readingCommands ? 1 : 0;
        for (std::size_t i = first; ready > 0 && i < watched.size(); ++i) {
            if (!(watched[i].revents & POLLIN)) continue;
            const auto [device, answerer] = devices[i - first];
            device->handleEvent(*answerer);
        }
        if (readingCommands && ready > 0 && watched[0].revents) {
            const auto outcome = commands.readFrom(STDIN_FILENO, consoleBoards);
            if (outcome == CommandInput::Outcome::Ended) readingCommands = false;  // the boards stay until a signal
            if (outcome == CommandInput::Outcome::Quit) stopping = 1;
        }
        if (Clock::now() >= nextInput) {
            for (auto& board : options.boards) board.sendButtons();
            nextInput = Clock::now() + period;
        }
    }
    for (auto& board : options.boards) board.unplug();
    return 0;
}
