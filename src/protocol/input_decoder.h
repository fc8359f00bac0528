// The board's input as a person testing it wants to see it: fed the buttons down in each input
// report with the time the report arrived, it tells each button's presses and releases, and for
// every pair set to an encoder mode the steps with their direction, a count, the pulse lengths
// the computer saw and the glitches. Pairs set OFF are plain buttons.
#pragma once

#include "protocol/settings.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

using InputClock = std::chrono::steady_clock;

enum class InputEventKind { Press, Release, Step, Glitch };

enum class Glitch {
    None,
    BothDown,    // both buttons of an encoder pair down at once: the board never sends that
    ShortPulse,  // a pulse under half the length set (kShortPulseShare)
};

// A pulse measured under this share of the length set is a glitch. The computer sees a pulse
// between the arrivals of two reports, so it reads a few milliseconds long or short (the USB
// polling interval, the scheduler); half the length set is far outside that even at 4 ms, while
// a bounce, a second device on the same inputs or a lost report gives pulses far shorter.
inline constexpr double kShortPulseShare = 0.5;

struct InputEvent {
    InputClock::time_point time;
    InputEventKind kind = InputEventKind::Press;
    int button = 0;       // the button pressed or released; for a step or a glitch the one that made it
    int pair = 0;         // 1 ... 8 for a step or a glitch, 0 otherwise
    int direction = 0;    // a step: +1 (the pair's first button) or -1 (its second)
    long long count = 0;  // a step: the pair's count after it
    Glitch glitch = Glitch::None;
    // A release of an encoder's button, and a short pulse: how long the button was down.
    std::optional<std::chrono::microseconds> pulse;
};

// The pulse lengths of one encoder as the computer saw them since the last reset.
struct PulseLengths {
    std::size_t measured = 0;
    std::chrono::microseconds shortest{0};
    std::chrono::microseconds typical{0};  // the median of the last kTypicalOf pulses
    std::chrono::microseconds longest{0};
};

class InputDecoder {
public:
    static constexpr std::size_t kTypicalOf = 32;

    // `logSize`: how many of the last events the log keeps.
    explicit InputDecoder(const BoardSettings& settings = {}, std::size_t logSize = 200);

    // New settings (the board was set up again): counts, lengths and the log start again.
    void setSettings(const BoardSettings& settings);
    // Counts, pulse lengths, glitches and the log start again; the buttons down stay known, so a
    // button held through the reset is not pressed again.
    void reset();

    // The buttons down in one input report (bit b-1 for button b) and when it arrived, in order
    // of arrival. Returns the events it made, which the log keeps too.
    std::vector<InputEvent> feed(std::uint16_t down, InputClock::time_point time);

    int mode(int pair) const { return modes_.at(static_cast<std::size_t>(pair - 1)); }  // 0 (OFF) ... 3
    bool encoder(int pair) const { return mode(pair) != 0; }
    // The pulse length the board holds.
    std::chrono::milliseconds pulseSet() const { return pulseSet_; }
    std::uint16_t down() const { return down_; }
    long long count(int pair) const { return pairs_.at(static_cast<std::size_t>(pair - 1)).count; }
    unsigned glitches(int pair) const { return pairs_.at(static_cast<std::size_t>(pair - 1)).glitches; }
    unsigned glitches() const;
    PulseLengths pulses(int pair) const;

    const std::deque<InputEvent>& log() const { return log_; }
    // The log as text to copy, one event a line, times in seconds from the first report.
    std::string logText() const;
    // One event as a line of that text, without its time.
    std::string eventText(const InputEvent& event) const;
    // Seconds from the first report fed since the last reset to `time`.
    double secondsAt(InputClock::time_point time) const;

private:
    struct PairState {
        long long count = 0;
        unsigned glitches = 0;
        std::size_t measured = 0;
        std::chrono::microseconds shortest{0}, longest{0};
        std::deque<std::chrono::microseconds> recent;  // the last kTypicalOf pulses
    };

    void record(std::vector<InputEvent>& events, InputEvent event);
    void measure(std::vector<InputEvent>& events, InputEvent release, InputClock::time_point pressed);

    std::array<int, 8> modes_{};
    std::chrono::milliseconds pulseSet_{4};
    std::array<PairState, 8> pairs_{};
    std::array<std::optional<InputClock::time_point>, 16>
        pressedAt_{};  // while down; nothing if down before the first report
    std::uint16_t down_ = 0;
    bool seen_ = false;  // a report has been fed: the buttons down are known
    std::optional<InputClock::time_point> origin_;
    std::deque<InputEvent> log_;
    std::size_t logSize_;
};

}  // namespace korvex
