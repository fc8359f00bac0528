// What every virtual board program shares: the --board argument, and the commands read from
// standard input, one a line, each acknowledged on standard output:
//   unplug SERIAL | plug SERIAL | silent SERIAL | talk SERIAL | refuse SERIAL | short SERIAL |
//   hang SERIAL | accept SERIAL | state SERIAL | hold SERIAL BUTTON... | pulse SERIAL BUTTON | quit
// The feature faults of the firmware model, until `accept` ends them: a refusing board fails every
// feature request; a short one answers a get-feature with 2 bytes (report ID and the echoed
// command, no value); a hanging one never answers a get-feature, so the host's request fails at
// its system's timeout (5 s on Linux), while set-feature requests still work. hold sets the
// buttons held down from now on (none for none); pulse sends one report with the button down, as
// one encoder step gives it.
//   turn SERIAL PAIR STEPS [RATE]
// turns the encoder on PAIR ("5-6" or 3) by STEPS (negative: the other way) at RATE steps a second
// (10 unless given): each step presses the pair's first button (or its second) for the pulse
// length the board holds. The board sends an input report at each press and release.
#pragma once

#include "simulation/board_firmware.h"

#include <signal.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvex::tools {

struct BoardSetup {
    std::string serial;
    std::uint16_t version = 0x0114;  // as USB writes a release number: 0x0114 is 1.14
    bool silent = false;
};

// SERIAL[,VERSION[,silent]]: VERSION in hex, the serial at most 63 bytes of UTF-8.
std::optional<BoardSetup> parseBoardSetup(const std::string& text);

// What every board program takes: --board (any number; one board KX000001 when none is given),
// --period MS between input reports, --log. `other` is asked about any other argument and says
// whether it took it. False on a wrong argument.
struct BoardArguments {
    std::vector<BoardSetup> boards;
    bool log = false;
    int periodMs = 100;
};
bool parseBoardArguments(int argc, char** argv, BoardArguments& arguments,
                         const std::function<bool(const std::string&)>& other = {});

// SIGINT and SIGTERM end a board program's loop. They are blocked except while the loop waits in
// ppoll() with waitMask(), so the loop always sees them; SIGPIPE is ignored.
class StopSignals {
public:
    StopSignals();
    bool stopping() const;
    void stop();
    const sigset_t* waitMask() const { return &waitMask_; }

private:
    sigset_t waitMask_;
};

// How long ppoll() may wait for `when`: never negative.
timespec timeoutUntil(std::chrono::steady_clock::time_point when);

class ConsoleBoard {
public:
    virtual ~ConsoleBoard() = default;
    virtual const std::string& serial() const = 0;
    virtual const BoardFirmware& firmware() const = 0;
    virtual BoardFirmware& firmware() = 0;
    // False with errno set when the board cannot be plugged in.
    virtual bool plug() = 0;
    virtual void unplug() = 0;
    virtual void setSilent(bool silent) = 0;
};

// One line of output, flushed at once: a test waits for each line.
void say(const std::string& line);

// "feature SERIAL set 00 EE 08 10 ..." for a report a board received, "... get ..." for its answer.
std::string featureLine(const std::string& serial, const std::string& direction, std::span<const std::uint8_t> report);

// Collects command lines from a descriptor and runs each on the boards.
class CommandInput {
public:
    enum class Outcome { More, Ended, Quit };
    // Reads what the descriptor holds now (one read) and runs every complete line.
    Outcome readFrom(int fd, std::span<ConsoleBoard* const> boards);

private:
    std::string pending_;  // a line not yet complete
};

}  // namespace korvex::tools
