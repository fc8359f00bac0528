// The demo's control window beside the configurator: one panel per simulated board, refreshed on
// a timer from the bus's call log, and a button that adds a board with firmware too old to use.
#pragma once

#include "demo/demo_bus.h"
#include "demo/win32/board_panel.h"
#include "simulation/simulated_bus.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace korvex::demo {

class SimulationWindow final {
public:
    explicit SimulationWindow(SimulatedBus& bus);
    ~SimulationWindow();
    SimulationWindow(const SimulationWindow&) = delete;
    SimulationWindow& operator=(const SimulationWindow&) = delete;

    // Shows the window with its top-left corner at this screen point.
    void showAt(POINT topLeft);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void addPanel(std::size_t device);
    void addOldBoard();
    void update();
    void fitHeight();

    SimulatedBus& bus_;
    HWND window_ = nullptr;
    HWND addOld_ = nullptr;
    HFONT font_ = nullptr, fixed_ = nullptr;
    std::vector<std::unique_ptr<BoardPanel>> boards_;
    demo::BusTraffic traffic_;
    int oldBoards_ = 0;
};

}  // namespace korvex::demo
