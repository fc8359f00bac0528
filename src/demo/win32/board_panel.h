// One simulated board in the demo's control window: plug or unplug it, make it silent, choose how
// it answers feature requests, turn one of its encoders, and see its settings and the last feature
// reports it received.
#pragma once

#include "simulation/simulated_bus.h"

#include <windows.h>

#include <deque>
#include <string>

namespace korvex::demo {

class BoardPanel final {
public:
    // Creates the panel's controls in `parent` with their top at `top`; `scale` maps 96-DPI pixels.
    BoardPanel(SimulatedBus& bus, std::size_t device, HWND parent, int top, int (*scale)(HWND, int), HFONT font,
               HFONT fixed);
    static constexpr int kWidth = 464, kHeight = 316;  // at 96 DPI

    void addReport(const SimCall& call);
    void refresh(bool open);
    // Acts on a notification from one of its controls; false when the control is not its own.
    bool onCommand(HWND control, UINT code);

private:
    HWND add(const wchar_t* type, DWORD style, int x, int y, int width, int height, const std::wstring& text = {});
    // A number field: an edit with up-down arrows that keep its value within `low` ... `high`.
    HWND addNumber(int x, int y, int width, int low, int high, int value);
    // Turns the encoder as the turn row says; nothing while a field holds no number in its range.
    void turn();

    SimulatedBus& bus_;
    std::size_t device_;
    HWND parent_;
    int top_;
    int (*scale_)(HWND, int);
    HFONT font_;
    HWND plug_ = nullptr, silent_ = nullptr, fault_ = nullptr, status_ = nullptr, settings_ = nullptr,
         reports_ = nullptr, turnPair_ = nullptr, turnSteps_ = nullptr, turnRate_ = nullptr, turn_ = nullptr;
    std::deque<std::string> lastReports_;
    bool reportsChanged_ = true;
};

}  // namespace korvex::demo
