// The demos' simulated world, whatever their toolkit: the two boards they start with, boards
// with old firmware added on request, and which board the configurator holds open.
#pragma once

#include "simulation/simulated_bus.h"

#include <array>
#include <cstddef>
#include <functional>
#include <map>

namespace korvex::demo {

// Two boards with firmware 1.14 and different settings; reads on a silent board take their whole
// wait, as on a real system.
void addStartingBoards(SimulatedBus& bus);

// Adds the n-th board with firmware 0.13, below the oldest the configurator accepts (serial
// KX130001, KX130002 ...); returns its index on the bus.
std::size_t addOldFirmwareBoard(SimulatedBus& bus, int n);

// How a board's firmware handles feature requests, as its panel offers the choice: the texts in
// the order of FeatureFault (None, Refuse, Short, Hang).
inline constexpr std::array<const char*, 4> kFaultChoices{"answered", "refused", "answered short", "never answered"};
inline constexpr const char* kFaultLabel = "Feature requests:";

// The panel's row that turns one of the board's encoders: which pair, how many steps (negative
// ones turn it the other way) and how many a second, with the labels that name each control.
inline constexpr const char* kTurnPairLabel = "Turn buttons:";
inline constexpr const char* kTurnStepsLabel = "Steps:";
inline constexpr const char* kTurnRateLabel = "Steps a second:";
inline constexpr const char* kTurnButton = "Turn";
inline constexpr int kTurnMaxSteps = 50, kTurnDefaultSteps = 5;
inline constexpr int kTurnMaxRate = 100, kTurnDefaultRate = 10;  // from 1; a long pulse slows it down

// Turns the encoder on `pair` (1 ... 8) of a board by `steps` at `rate` steps a second, under the
// bus's lock: the configurator's workers read the same firmware meanwhile. False when the firmware
// takes no such turn.
bool turnEncoder(SimulatedBus& bus, std::size_t device, int pair, int steps, int rate);

// A board as its panel shows it, copied under the bus's lock: the configurator's workers call the
// bus while the panel reads it.
struct BoardView {
    bool plugged = false;
    bool silent = false;
    BoardFirmware firmware;
};
BoardView boardView(SimulatedBus& bus, std::size_t device);

// Follows the bus's call log: which boards the configurator holds open, and every feature request
// each board answered.
class BusTraffic {
public:
    explicit BusTraffic(SimulatedBus& bus) : bus_(bus) {}
    // Takes the calls since the last time, handing each feature request to `onReport`, and
    // empties the log so it never grows.
    void take(const std::function<void(std::size_t device, const SimCall& call)>& onReport);
    bool open(std::size_t device) const;

private:
    SimulatedBus& bus_;
    std::map<HidHandle, std::size_t> openHandles_;
};

}  // namespace korvex::demo
