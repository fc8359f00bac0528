// korvex-virtual-board: rotary-encoder boards that exist only in the kernel, through /dev/uhid.
//
//   korvex-virtual-board [--board SERIAL[,VERSION[,silent]]]... [--other] [--period MS] [--log]
//
// VERSION is the release number in hex as USB writes it (0114 is 1.14; the default). --other adds
// a HID mouse with another product ID. Each board sends an input report every MS milliseconds
// (default 100) unless silent. Commands on standard input, one a line, each acknowledged on
// standard output:  unplug SERIAL | plug SERIAL | silent SERIAL | talk SERIAL | state SERIAL |
// hold SERIAL BUTTON... (the buttons held down from now on; none for none) | pulse SERIAL BUTTON
// (one report with the button down, as one encoder step gives it) | quit
// "ready" is printed once every device exists. SIGINT and SIGTERM unplug everything and exit.
// --log prints every feature request a board receives: "feature SERIAL set 00 EE 08 10 ..." for a
// report sent to it, "feature SERIAL get 00 08 05 ..." for its answer to a get-feature request.
#include "virtual_board.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <list>
#include <sstream>
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
    std::vector<std::string> fields;
    std::stringstream stream(text);
    for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
    if (fields.empty() || fields.size() > 3 || fields[0].empty() || fields[0].size() > 63) return false;
    unsigned version = 0x0114;
    if (fields.size() > 1) {
        const std::string& v = fields[1];
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), version, 16);
        if (error != std::errc() || end != v.data() + v.size() || version > 0xFFFF) return false;
    }
    if (fields.size() > 2 && fields[2] != "silent") return false;
    options.boards.emplace_back(fields[0], static_cast<std::uint16_t>(version), fields.size() > 2);
    return true;
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
    if (options.boards.empty()) options.boards.emplace_back("KX000001", 0x0114, false);
    return true;
}

VirtualBoard* find(Options& options, const std::string& serial) {
    for (auto& board : options.boards)
        if (board.serial() == serial) return &board;
    return nullptr;
}

void say(const std::string& line) {
    std::cout << line << std::endl;  // flushed: a test waits for each line
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    char part[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(part, sizeof part, " %02X", byte);
        text += part;
    }
    return text;
}

// Runs one command line; false on "quit".
bool runCommand(const std::string& line, Options& options) {
    std::istringstream words(line);
    std::string command, serial;
    words >> command >> serial;
    if (command.empty()) return true;
    if (command == "quit") return false;
    VirtualBoard* board = find(options, serial);
    if (!board) {
        say("error no board " + serial);
        return true;
    }
    if (command == "unplug") {
        board->unplug();
        say("unplugged " + serial);
    } else if (command == "plug") {
        say(board->plug() ? "plugged " + serial : "error plug " + serial + ": " + std::strerror(errno));
    } else if (command == "silent" || command == "talk") {
        board->setSilent(command == "silent");
        say(command + " " + serial);
    } else if (command == "state") {
        const auto& s = board->firmware().settings();
        say("state " + serial + " hide=" + std::to_string(s.hideFlag) + " low=" + std::to_string(s.modesLow) +
            " high=" + std::to_string(s.modesHigh) + " pulse=" + std::to_string(s.pulseCode) +
            " followups=" + std::to_string(board->firmware().followUps()));
    } else if (command == "hold") {
        std::uint16_t down = 0;
        for (int button; words >> button;)
            if (button >= 1 && button <= 16) down = static_cast<std::uint16_t>(down | (1u << (button - 1)));
        board->firmware().holdButtons(down);
        say("held " + serial + " " + std::to_string(down));
    } else if (command == "pulse") {
        int button = 0;
        words >> button;
        board->firmware().pulseButton(button);
        say("pulsed " + serial + " " + std::to_string(button));
    } else {
        say("error unknown command " + command);
    }
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
                say("feature " + serial + " " + direction + hexBytes(report));
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
    std::string pending;  // a command line not yet complete
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
            char chunk[256];
            const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0) {
                readingCommands = false;  // no more commands; the boards stay until a signal
            } else {
                pending.append(chunk, static_cast<std::size_t>(got));
                for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    const std::string line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    if (!runCommand(line, options)) stopping = 1;
                }
                if (pending.size() > 1024) pending.clear();  // not a command anyone typed
            }
        }
        if (Clock::now() >= nextInput) {
            for (auto& board : options.boards) board.sendButtons();
            nextInput = Clock::now() + period;
        }
    }
    for (auto& board : options.boards) board.unplug();
    return 0;
}
