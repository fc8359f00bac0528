#include "demo/qt/simulation_window.h"

#include "demo/qt/board_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvex::ui {

namespace {
constexpr int kRefreshMs = 100;
}  // namespace

SimulationWindow::SimulationWindow(SimulatedBus& bus, QWidget* parent) : QWidget(parent), bus_(bus), traffic_(bus) {
    setWindowTitle(QStringLiteral("Simulated boards"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Boards on a simulated USB bus. Every change made in the configurator "
                                            "arrives here as feature reports. The configurator lists the boards again only "
                                            "when its open board goes away: unplug it to bring in a board added later."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    panels_ = new QVBoxLayout;
    layout->addLayout(panels_);
    auto* addOld = new QPushButton(QStringLiteral("Add a board with old firmware (0.13)"), this);
    layout->addWidget(addOld);
    layout->addStretch();
    connect(addOld, &QPushButton::clicked, this, [this] { addOldBoard(); });

    for (std::size_t device = 0; device < bus_.deviceCount(); ++device) addPanel(device);
    connect(&refresh_, &QTimer::timeout, this, [this] { update(); });
    refresh_.start(kRefreshMs);
}

void SimulationWindow::addPanel(std::size_t device) {
    auto* panel = new BoardPanel(bus_, device, this);
    panels_->addWidget(panel);
    boards_.push_back(panel);
}

void SimulationWindow::addOldBoard() {
    addPanel(demo::addOldFirmwareBoard(bus_, ++oldBoards_));
    update();
}

void SimulationWindow::update() {
    traffic_.take([this](std::size_t device, const SimCall& call) {
        if (device < boards_.size()) boards_[device]->addReport(call);
    });
    for (std::size_t device = 0; device < boards_.size(); ++device) boards_[device]->refresh(traffic_.open(device));
}

}  // namespace korvex::ui
