// The input test's logic, free of any toolkit: it follows the board the main window shows, decodes
// every input report that board's worker reads, and says what each part of the test window shows.
// It never writes to the board.
#pragma once

#include "app/configurator.h"
#include "protocol/input_decoder.h"
#include "protocol/settings.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace korvex::app {

// How long a step's arrow stays lit: a step of 4 ms would otherwise never be seen.
inline constexpr std::chrono::milliseconds kArrowLit{150};
// How many of the last events the log keeps.
inline constexpr std::size_t kTestLogSize = 200;

// One button pair as the test window shows it.
struct PairShown {
    std::string caption;         // "Buttons 5-6: 1:2"
    std::array<bool, 2> down{};  // the pair's first and second button
    bool encoder = false;
    bool steppedForward = false;  // a step of the first button was seen within kArrowLit
    bool steppedBack = false;     // a step of the second button
    std::string count;            // "+5"; empty for plain buttons
    std::string pulses;           // "Pulses 3.9 / 4.0 / 4.2 ms, set 4 ms"
    std::string glitches;         // "Glitches: 0"
};

struct InputTestShown {
    std::string title;  // "Test inputs - KX0001"
    std::string status;
    bool board = false;  // a board is shown: Reset and the log act
    std::array<PairShown, kPairCount> pairs;
    std::string log;  // the last events with their times, one a line, the newest last
};

class InputTest {
public:
    // Reads the configurator's board from now on; `changed` runs on the window's thread whenever
    // what the window shows changes, never from within this constructor. One input test at a time
    // per configurator.
    InputTest(Configurator& configurator, std::function<void()> changed);
    ~InputTest();
    InputTest(const InputTest&) = delete;
    InputTest& operator=(const InputTest&) = delete;

    // Counts, pulse lengths, glitches and the log start again.
    void reset();
    InputTestShown shown(InputClock::time_point now = InputClock::now()) const;
    // An arrow is lit at `now`: the window shows it again until it goes out.
    bool arrowsLit(InputClock::time_point now = InputClock::now()) const;

private:
    void follow();
    // Takes `board` as the one shown; false when it already was.
    bool adopt(const std::optional<BoardInView>& board);
    void input(std::uint16_t down, InputClock::time_point arrived);
    void notify();

    Configurator& configurator_;
    std::function<void()> changed_;
    InputDecoder decoder_;
    std::optional<BoardInView> board_;
    // When each pair last stepped forward and back.
    std::array<std::optional<InputClock::time_point>, kPairCount> forwardAt_{}, backAt_{};
};

}  // namespace korvex::app
