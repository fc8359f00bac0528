#include "protocol/input_decoder.h"

#include "protocol/settings.h"

#include <algorithm>
#include <cstdio>

namespace korvex {

namespace {

using std::chrono::microseconds;

std::string millisecondsText(microseconds length) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(length.count()) / 1000.0);
    return text;
}

int partnerOf(int button) { return button % 2 ? button + 1 : button - 1; }

}  // namespace

InputDecoder::InputDecoder(const BoardSettings& settings, std::size_t logSize)
    : logSize_(std::max<std::size_t>(1, logSize)) {
    setSettings(settings);
}

void InputDecoder::setSettings(const BoardSettings& settings) {
    modes_ = unpackEncoderModes({settings.modesLow, settings.modesHigh});
    // A pulse code outside 1 ... 25 has no length; the nearest one is what the board can mean.
    pulseSet_ = std::chrono::milliseconds(4 * std::clamp<int>(settings.pulseCode, 1, 25));
    reset();
}

void InputDecoder::reset() {
    pairs_ = {};
    log_.clear();
    origin_.reset();
}

unsigned InputDecoder::glitches() const {
    unsigned total = 0;
    for (const PairState& pair : pairs_) total += pair.glitches;
    return total;
}

PulseLengths InputDecoder::pulses(int pair) const {
    const PairState& state = pairs_.at(static_cast<std::size_t>(pair - 1));
    PulseLengths lengths{state.measured, state.shortest, {}, state.longest};
    if (state.recent.empty()) return lengths;
    std::vector<microseconds> sorted(state.recent.begin(), state.recent.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    lengths.typical = sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    return lengths;
}

void InputDecoder::record(std::vector<InputEvent>& events, InputEvent event) {
    events.push_back(event);
    log_.push_back(event);
    while (log_.size() > logSize_) log_.pop_front();
}

void InputDecoder::measure(std::vector<InputEvent>& events, InputEvent release, InputClock::time_point pressed) {
    const auto length = std::chrono::duration_cast<microseconds>(release.time - pressed);
    release.pulse = length;
    record(events, release);
    PairState& state = pairs_[static_cast<std::size_t>(release.pair - 1)];
    state.shortest = state.measured == 0 ? length : std::min(state.shortest, length);
    state.longest = state.measured == 0 ? length : std::max(state.longest, length);
    ++state.measured;
    state.recent.push_back(length);
    if (state.recent.size() > kTypicalOf) state.recent.pop_front();
    if (length < std::chrono::duration_cast<microseconds>(pulseSet_) * kShortPulseShare) {
        ++state.glitches;
        InputEvent glitch = release;
        glitch.kind = InputEventKind::Glitch;
        glitch.glitch = Glitch::ShortPulse;
        record(events, glitch);
    }
}

std::vector<InputEvent> InputDecoder::feed(std::uint16_t down, InputClock::time_point time) {
    std::vector<InputEvent> events;
    if (!origin_) origin_ = time;
    const std::uint16_t changed = seen_ ? static_cast<std::uint16_t>(down ^ down_) : down;
    const auto isDown = [](std::uint16_t buttons, int button) { return ((buttons >> (button - 1)) & 1) != 0; };
    for (int button = 1; button <= 16; ++button) {
        if (!isDown(changed, button)) continue;
        const int pair = (button + 1) / 2;
        const bool onEncoder = encoder(pair);
        InputEvent event;
        event.time = time;
        event.button = button;
        event.pair = onEncoder ? pair : 0;
        auto& pressedAt = pressedAt_[static_cast<std::size_t>(button - 1)];
        if (!isDown(down, button)) {
            event.kind = InputEventKind::Release;
            if (onEncoder && pressedAt) measure(events, event, *pressedAt);
            else record(events, event);
            pressedAt.reset();
            continue;
        }
        record(events, event);
        // Down in the first report: pressed before we looked, so its pulse cannot be measured.
        pressedAt = seen_ ? std::optional(time) : std::nullopt;
        if (!onEncoder) continue;
        PairState& state = pairs_[static_cast<std::size_t>(pair - 1)];
        const int partner = partnerOf(button);
        if (isDown(down, partner)) {
            // Both down: which way the encoder turned cannot be told, so this is no step. Two
            // presses in one report are one glitch, told at the first of them.
            if (!(partner < button && isDown(changed, partner))) {
                ++state.glitches;
                event.kind = InputEventKind::Glitch;
                event.glitch = Glitch::BothDown;
                record(events, event);
            }
            continue;
        }
        event.kind = InputEventKind::Step;
        event.direction = button % 2 ? 1 : -1;
        state.count += event.direction;
        event.count = state.count;
        record(events, event);
    }
    down_ = down;
    seen_ = true;
    return events;
}

double InputDecoder::secondsAt(InputClock::time_point time) const {
    return origin_ ? std::chrono::duration<double>(time - *origin_).count() : 0.0;
}

std::string InputDecoder::eventText(const InputEvent& event) const {
    const std::string button = std::to_string(event.button);
    switch (event.kind) {
    case InputEventKind::Press: return "press " + button;
    case InputEventKind::Release:
        return "release " + button + (event.pulse ? " after " + millisecondsText(*event.pulse) : std::string());
    case InputEventKind::Step:
        return "step " + pairName(event.pair) + " " + (event.direction > 0 ? "+1" : "-1") + " (button " + button +
               "), count " + (event.count > 0 ? "+" : "") + std::to_string(event.count);
    case InputEventKind::Glitch:
        if (event.glitch == Glitch::BothDown)
            return "glitch " + pairName(event.pair) + ": both buttons down (button " + button + " pressed)";
        return "glitch " + pairName(event.pair) + ": pulse of " +
               millisecondsText(event.pulse.value_or(microseconds{})) + " on button " + button + ", under half the " +
               std::to_string(pulseSet_.count()) + " ms set";
    }
    return {};
}

std::string InputDecoder::logText() const {
    std::string text;
    char time[32];
    for (const InputEvent& event : log_) {
        std::snprintf(time, sizeof time, "%10.3f  ", secondsAt(event.time));
        text += time + eventText(event) + "\n";
    }
    return text;
}

}  // namespace korvex
