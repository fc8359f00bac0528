#include "app/input_test.h"

#include <cstdio>

namespace korvex::app {

namespace {

std::string milliseconds(std::chrono::microseconds length) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(length.count()) / 1000.0);
    return text;
}

std::string pulsesText(const InputDecoder& decoder, int pair) {
    const std::string set = "set " + std::to_string(decoder.pulseSet().count()) + " ms";
    const PulseLengths pulses = decoder.pulses(pair);
    if (pulses.measured == 0) return "Pulses: none yet, " + set;
    return "Pulses " + milliseconds(pulses.shortest) + " / " + milliseconds(pulses.typical) + " / " +
           milliseconds(pulses.longest) + " ms, " + set;
}

}  // namespace

InputTest::InputTest(Configurator& configurator, std::function<void()> changed)
    : configurator_(configurator), changed_(std::move(changed)), decoder_(BoardSettings{}, kTestLogSize) {
    configurator_.onBoardChanged([this] { follow(); });
    configurator_.watchInput([this](std::uint16_t down, InputClock::time_point arrived) { input(down, arrived); });
    // The board already in view is taken without telling `changed`: its owner is still being
    // built (a window holding this test), and shows the test once it has it.
    adopt(configurator_.boardInView());
}

InputTest::~InputTest() {
    configurator_.watchInput(nullptr);
    configurator_.onBoardChanged(nullptr);
}

void InputTest::follow() {
    if (adopt(configurator_.boardInView())) notify();
}

bool InputTest::adopt(const std::optional<BoardInView>& board) {
    if (board == board_) return false;
    board_ = board;
    // Another board, or new settings: what was counted belongs to what was set before. A board
    // whose settings were not read shows its buttons as plain buttons.
    decoder_ = InputDecoder(board && board->settings ? *board->settings : BoardSettings{}, kTestLogSize);
    forwardAt_ = {};
    backAt_ = {};
    return true;
}

void InputTest::input(std::uint16_t down, InputClock::time_point arrived) {
    if (!board_) return;
    for (const InputEvent& event : decoder_.feed(down, arrived)) {
        if (event.kind != InputEventKind::Step) continue;
        auto& at = event.direction > 0 ? forwardAt_ : backAt_;
        at[static_cast<std::size_t>(event.pair - 1)] = arrived;
    }
    notify();
}

void InputTest::reset() {
    decoder_.reset();
    forwardAt_ = {};
    backAt_ = {};
    notify();
}

void InputTest::notify() {
    if (changed_) changed_();
}

bool InputTest::arrowsLit(InputClock::time_point now) const {
    for (std::size_t k = 0; k < kPairCount; ++k)
        for (const auto& at : {forwardAt_[k], backAt_[k]})
            if (at && now - *at < kArrowLit) return true;
    return false;
}

InputTestShown InputTest::shown(InputClock::time_point now) const {
    InputTestShown shown;
    shown.board = board_.has_value();
    shown.title = board_ ? "Test inputs - " + board_->serial : "Test inputs";
    if (!board_) shown.status = "No board is shown in the main window.";
    else if (!board_->settings) shown.status = "The board's settings were not read: every button shows as a button.";
    else shown.status = "Press the buttons or turn the encoders on the board.";
    for (int pair = 1; pair <= kPairCount; ++pair) {
        const auto k = static_cast<std::size_t>(pair - 1);
        PairShown& line = shown.pairs[k];
        const int first = 2 * pair - 1;
        line.encoder = board_ && decoder_.encoder(pair);
        line.caption =
            "Buttons " + pairName(pair) + ": " + kEncoderModeTexts[static_cast<std::size_t>(decoder_.mode(pair))];
        line.down = {(decoder_.down() >> (first - 1) & 1) != 0, (decoder_.down() >> first & 1) != 0};
        if (!line.encoder) continue;
        line.steppedForward = forwardAt_[k] && now - *forwardAt_[k] < kArrowLit;
        line.steppedBack = backAt_[k] && now - *backAt_[k] < kArrowLit;
        const long long count = decoder_.count(pair);
        line.count = (count > 0 ? "+" : "") + std::to_string(count);
        line.pulses = pulsesText(decoder_, pair);
        line.glitches = "Glitches: " + std::to_string(decoder_.glitches(pair));
    }
    shown.log = decoder_.logText();
    if (!shown.log.empty()) shown.log.pop_back();  // no empty line after the newest event
    return shown;
}

}  // namespace korvex::app
