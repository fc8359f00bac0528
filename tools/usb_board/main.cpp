// korvex-usb-board: rotary-encoder boards that are real USB devices to the kernel: configfs gadgets
// with a FunctionFS HID interface on dummy_hcd's controllers (needs root, configfs, libcomposite,
// usb_f_fs and dummy_hcd loaded with num= at least the number of boards).
//
//   korvex-usb-board [--board SERIAL[,VERSION[,silent]]]... [--period MS] [--log]
//
// SERIAL is any text in UTF-8 (the host reads it as UTF-16). VERSION is the release number in
// hex as USB writes it (0114 is 1.14; the default): BCD digits only, as configfs takes bcdDevice.
// Each board sends an input report every MS milliseconds (default 100) unless silent. Commands on
// standard input as common/board_console.h lists them, and "ready" once every board is plugged in,
// as korvex-virtual-board does. SIGINT and SIGTERM unplug everything and remove the gadgets.
// --log prints every feature request a board takes: "feature SERIAL set|get 00 ...".
#include "usb_board.h"

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
#include <vector>

using namespace korvex::tools;

namespace {

bool isBcd(std::uint16_t value) {
    for (int shift = 0; shift < 16; shift += 4)
        if (((value >> shift) & 0xF) > 9) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    BoardArguments options;
    if (!parseBoardArguments(argc, argv, options)) {
        std::cerr << "usage: korvex-usb-board [--board SERIAL[,VERSION[,silent]]]... [--period MS] [--log]\n";
        return 2;
    }
    for (const BoardSetup& setup : options.boards) {
        if (!isBcd(setup.version)) {
            std::cerr << "korvex-usb-board: a USB release number is BCD digits (0114, not 011A)\n";
            return 2;
        }
    }
    StopSignals signals;

    if (!ensureGadgetConfigfs()) {
        std::cerr << "korvex-usb-board: no USB gadget configfs (modprobe libcomposite; run as root): "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    std::list<UsbBoard> boards;  // a list: a board is never moved while its gadget exists
    std::vector<ConsoleBoard*> consoleBoards;
    for (const BoardSetup& setup : options.boards) {
        UsbBoard& board =
            boards.emplace_back(setup, "korvex" + std::to_string(::getpid()) + "b" + std::to_string(boards.size()));
        consoleBoards.push_back(&board);
        if (options.log) {
            board.onFeature(
                [serial = setup.serial](const std::string& direction, std::span<const std::uint8_t> report) {
                    say(featureLine(serial, direction, report));
                });
        }
        if (!board.plug()) {
            std::cerr << "korvex-usb-board: board " << setup.serial << ": " << std::strerror(errno)
                      << (errno == EBUSY ? " (no free dummy_udc: load dummy_hcd with num= the number of boards)" : "")
                      << "\n";
            return 1;  // the boards made so far are removed on the way out
        }
    }
    say("ready");

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(options.periodMs);
    auto nextInput = Clock::now() + period;
    bool readingCommands = true;
    CommandInput commands;
    while (!signals.stopping()) {
        std::vector<pollfd> watched;
        if (readingCommands) watched.push_back({STDIN_FILENO, POLLIN, 0});
        for (const UsbBoard& board : boards) {
            watched.push_back({board.controlEvents(), POLLIN, 0});  // a negative descriptor is skipped
            watched.push_back({board.inputCompletions(), POLLIN, 0});
        }
        // Awake for the next regular report, and for each press and release of a turn.
        auto wake = nextInput;
        for (const UsbBoard& board : boards)
            if (const auto due = board.nextReportDue()) wake = std::min(wake, *due);
        const timespec timeout = timeoutUntil(wake);
        const int ready = ppoll(watched.data(), watched.size(), &timeout, signals.waitMask());
        if (ready < 0 && errno != EINTR) break;

        if (ready > 0) {
            std::size_t i = readingCommands ? 1 : 0;
            for (UsbBoard& board : boards) {
                if (watched[i++].revents & POLLIN) board.handleControl();
                if (watched[i++].revents & POLLIN) board.handleInputCompletion();
            }
            if (readingCommands && watched[0].revents) {
                const auto outcome = commands.readFrom(STDIN_FILENO, consoleBoards);
                if (outcome == CommandInput::Outcome::Ended) readingCommands = false;  // the boards stay until a signal
                if (outcome == CommandInput::Outcome::Quit) signals.stop();
            }
        }
        const auto now = Clock::now();
        if (now >= nextInput) {
            for (UsbBoard& board : boards) board.sendButtons();
            nextInput = now + period;
        } else {
            for (UsbBoard& board : boards)
                if (const auto due = board.nextReportDue(); due && *due <= now) board.sendButtons();
        }
    }
    return 0;  // each board unplugs and removes its gadget as the list goes
}
