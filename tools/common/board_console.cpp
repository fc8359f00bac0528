#include "board_console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

namespace korvex::tools {

namespace {

ConsoleBoard* find(std::span<ConsoleBoard* const> boards, const std::string& serial) {
    for (ConsoleBoard* board : boards)
        if (board->serial() == serial) return board;
    return nullptr;
}

// The firmware fault a command sets, if it sets one.
std::optional<FeatureFault> featureFault(const std::string& command) {
    if (command == "refuse") return FeatureFault::Refuse;
    if (command == "short") return FeatureFault::Short;
    if (command == "hang") return FeatureFault::Hang;
    if (command == "accept") return FeatureFault::None;
    return std::nullopt;
}

// "5-6" or "3": pair 3 of 1 ... 8.
std::optional<int> pairOf(const std::string& text) {
    int first = 0, second = 0;
    char dash = 0;
    std::istringstream words(text);
    if (text.find('-') == std::string::npos) {
        if (words >> first && words.eof() && first >= 1 && first <= 8) return first;
        return std::nullopt;
    }
    if (words >> first >> dash >> second && words.eof() && dash == '-' && first % 2 == 1 && second == first + 1 &&
        second <= 16)
        return second / 2;
    return std::nullopt;
}

// turn PAIR STEPS [RATE]: the encoder's presses, timed by the firmware model.
void turnCommand(ConsoleBoard& board, std::istringstream& words) {
    std::string pairText;
    int steps = 0;
    double rate = 10;
    const bool read = static_cast<bool>(words >> pairText >> steps);
    if (std::string rest; read && words >> rest) rate = std::strtod(rest.c_str(), nullptr);
    const auto pair = pairOf(pairText);
    if (!read || !pair || !board.firmware().turn(*pair, steps, rate)) {
        say("error turn " + board.serial() +
            ": turn SERIAL PAIR STEPS [RATE], PAIR 1-2 ... 15-16 or 1 ... 8, RATE above 0 up to 1000");
        return;
    }
    say("turned " + board.serial() + " " + std::to_string(*pair) + " " + std::to_string(steps));
}

// Runs one command line; false on "quit".
bool runCommand(const std::string& line, std::span<ConsoleBoard* const> boards) {
    std::istringstream words(line);
    std::string command, serial;
    words >> command >> serial;
    if (command.empty()) return true;
    if (command == "quit") return false;
    ConsoleBoard* board = find(boards, serial);
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
    } else if (const auto fault = featureFault(command)) {
        board->firmware().setFault(*fault);
        say(command + " " + serial);
    } else if (command == "state") {
        const auto& s = board->firmware().settings();
        say("state " + serial + " hide=" + std::to_string(s.hideFlag) + " low=" + std::to_string(s.modesLow) +
            " high=" + std::to_string(s.modesHigh) + " pulse=" + std::to_string(s.pulseCode) +
            " followups=" + std::to_string(board->firmware().followUps()));
    } else if (command == "turn") {
        turnCommand(*board, words);
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

std::optional<BoardSetup> parseBoardSetup(const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream stream(text);
    for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
    if (fields.empty() || fields.size() > 3 || fields[0].empty() || fields[0].size() > 63) return std::nullopt;
    BoardSetup setup{fields[0]};
    if (fields.size() > 1) {
        const std::string& v = fields[1];
        unsigned version = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), version, 16);
        if (v.empty() || error != std::errc() || end != v.data() + v.size() || version > 0xFFFF) return std::nullopt;
        setup.version = static_cast<std::uint16_t>(version);
    }
    if (fields.size() > 2) {
        if (fields[2] != "silent") return std::nullopt;
        setup.silent = true;
    }
    return setup;
}

bool parseBoardArguments(int argc, char** argv, BoardArguments& arguments,
                         const std::function<bool(const std::string&)>& other) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--board" && hasValue) {
            const auto setup = parseBoardSetup(argv[++i]);
            if (!setup) return false;
            arguments.boards.push_back(*setup);
        } else if (argument == "--log") {
            arguments.log = true;
        } else if (argument == "--period" && hasValue) {
            arguments.periodMs = std::atoi(argv[++i]);
            if (arguments.periodMs < 1) return false;
        } else if (!other || !other(argument)) {
            return false;
        }
    }
    if (arguments.boards.empty()) arguments.boards.push_back(BoardSetup{"KX000001"});
    return true;
}

namespace {
volatile sig_atomic_t stopRequested = 0;
}

StopSignals::StopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask_);
    struct sigaction onStop {};
    onStop.sa_handler = [](int) { stopRequested = 1; };
    sigaction(SIGINT, &onStop, nullptr);
    sigaction(SIGTERM, &onStop, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool StopSignals::stopping() const { return stopRequested != 0; }

void StopSignals::stop() { stopRequested = 1; }

timespec timeoutUntil(std::chrono::steady_clock::time_point when) {
    const auto wait = std::max(std::chrono::steady_clock::duration::zero(), when - std::chrono::steady_clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count())};
}

void say(const std::string& line) { std::cout << line << std::endl; }

std::string featureLine(const std::string& serial, const std::string& direction, std::span<const std::uint8_t> report) {
    std::string text = "feature " + serial + " " + direction;
    char part[4];
    for (const std::uint8_t byte : report) {
        std::snprintf(part, sizeof part, " %02X", byte);
        text += part;
    }
    return text;
}

CommandInput::Outcome CommandInput::readFrom(int fd, std::span<ConsoleBoard* const> boards) {
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) return errno == EINTR || errno == EAGAIN ? Outcome::More : Outcome::Ended;
    if (got == 0) return Outcome::Ended;
    pending_.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!runCommand(line, boards)) return Outcome::Quit;
    }
    if (pending_.size() > 1024) pending_.clear();  // not a command anyone typed
    return Outcome::More;
}

}  // namespace korvex::tools
