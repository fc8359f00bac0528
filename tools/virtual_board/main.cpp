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

namespace {}  // namespace

int main(int argc, char** argv) {
    BoardArguments options;
    bool withOther = false;
    const auto takeOther = [&withOther](const std::string& argument) { return withOther = argument == "--other"; };
    if (!parseBoardArguments(argc, argv, options, takeOther)) {
        std::cerr
            << "usage: korvex-virtual-board [--board SERIAL[,VERSION[,silent]]]... [--other] [--period MS] [--log]\n";
        return 2;
    }
    StopSignals signals;
    std::list<VirtualBoard> boards(options.boards.begin(), options.boards.end());  // never moved once created
    for (auto& board : boards) {
        if (options.log) {
            board.onFeature(
                [serial = board.serial()](const std::string& direction, std::span<const std::uint8_t> report) {
                    say(featureLine(serial, direction, report));
                });
        }
        if (!board.plug()) {
            std::cerr << "korvex-virtual-board: /dev/uhid: " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    OtherHidDevice other;
    if (withOther && !other.plug()) {
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
    for (auto& board : boards) consoleBoards.push_back(&board);
    while (!signals.stopping()) {
        std::vector<pollfd> watched;
        std::vector<std::pair<UhidDevice*, FeatureAnswerer*>> devices;  // one per watched device
        if (readingCommands) watched.push_back({STDIN_FILENO, POLLIN, 0});
        for (auto& board : boards) {
            if (!board.device().created()) continue;
            watched.push_back({board.device().fd(), POLLIN, 0});
            devices.emplace_back(&board.device(), &board);
        }
        if (other.device().created()) {
            watched.push_back({other.device().fd(), POLLIN, 0});
            devices.emplace_back(&other.device(), &other);
        }
        // Awake for the next regular report, and for each press and release of a turn.
        auto wake = nextInput;
        for (const auto& board : boards)
            if (const auto due = board.nextReportDue()) wake = std::min(wake, *due);
        const timespec timeout = timeoutUntil(wake);
        const int ready = ppoll(watched.data(), watched.size(), &timeout, signals.waitMask());
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
            if (outcome == CommandInput::Outcome::Quit) signals.stop();
        }
        const auto now = Clock::now();
        if (now >= nextInput) {
            for (auto& board : boards) board.sendButtons();
            nextInput = now + period;
        } else {
            for (auto& board : boards)
                if (const auto due = board.nextReportDue(); due && *due <= now) board.sendButtons();
        }
    }
    for (auto& board : boards) board.unplug();
    return 0;
}
