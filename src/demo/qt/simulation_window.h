// The demo's control window: the simulated boards beside the configurator, updated live.
#pragma once

#include "demo/demo_bus.h"
#include "simulation/simulated_bus.h"

#include <QTimer>
#include <QWidget>

#include <vector>

class QScrollArea;
class QVBoxLayout;

namespace korvex::demo {

class BoardPanel;

class SimulationWindow final : public QWidget {
    Q_OBJECT

public:
    explicit SimulationWindow(SimulatedBus& bus, QWidget* parent = nullptr);

private:
    void addPanel(std::size_t device);
    // Sizes the window to its panels in full, but never taller or wider than its screen leaves
    // room for: beyond that the panels scroll.
    void fitToScreen();
    void addOldBoard();
    // Takes the bus's call log since the last update: feature traffic goes to its board's panel.
    void update();

    SimulatedBus& bus_;
    QScrollArea* scroll_;
    QWidget* content_;
    QVBoxLayout* panels_;
    std::vector<BoardPanel*> boards_;
    demo::BusTraffic traffic_;
    QTimer refresh_;
    int oldBoards_ = 0;
};

}  // namespace korvex::demo
