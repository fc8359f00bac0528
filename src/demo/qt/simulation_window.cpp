#include "demo/qt/simulation_window.h"

#include "demo/qt/board_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvex::ui {

namespace {
constexpr int kRefreshMs = 100;
constexpr std::uint16_t kOldFirmware = 0x0013;  // below the oldest firmware the configurator accepts
}  // namespace

SimulationWindow::SimulationWindow(SimulatedBus& bus, QWidget* parent) : QWidget(parent), bus_(bus) {
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
    ++oldBoards_;
    SimDeviceInfo info;
    info.version = kOldFirmware;
    info.serial = u"KX13" + std::u16string(QStringLiteral("%1").arg(oldBoards_, 4, 10, QLatin1Char('0')).toStdU16String());
    addPanel(bus_.addDevice(info));
    update();
}

void SimulationWindow::update() {
    for (const SimCall& call : bus_.calls()) {
        switch (call.op) {
        case SimOp::Open:
            if (call.ok) openHandles_[call.handle] = call.device;
            break;
        case SimOp::Close:
            openHandles_.erase(call.handle);
            break;
        case SimOp::SetFeature:
        case SimOp::GetFeature:
            if (call.device < boards_.size()) boards_[call.device]->addReport(call);
            break;
        default:
            break;
        }
    }
    bus_.clearCalls();  // the log is only ever read here; keep it from growing
    for (std::size_t device = 0; device < boards_.size(); ++device) {
        bool open = false;
        for (const auto& [handle, owner] : openHandles_) open = open || owner == device;
        boards_[device]->refresh(open);
    }
}

}  // namespace korvex::ui
