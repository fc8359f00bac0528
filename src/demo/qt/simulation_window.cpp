#include "demo/qt/simulation_window.h"

#include "demo/qt/board_panel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace korvex::demo {

namespace {
constexpr int kRefreshMs = 100;
}  // namespace

SimulationWindow::SimulationWindow(SimulatedBus& bus, QWidget* parent) : QWidget(parent), bus_(bus), traffic_(bus) {
    setWindowTitle(QStringLiteral("Simulated boards"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("Boards on a simulated USB bus. Every change made in the configurator "
                                  "arrives here as feature reports. The configurator lists the boards again only "
                                  "when its open board goes away: unplug it to bring in a board added later."),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    // The panels scroll, so that any number of boards fits a small screen; the rest stays in view.
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    content_ = new QWidget(scroll_);
    panels_ = new QVBoxLayout(content_);
    panels_->setContentsMargins(0, 0, 0, 0);
    panels_->addStretch();
    scroll_->setWidget(content_);
    layout->addWidget(scroll_, 1);
    auto* addOld = new QPushButton(QStringLiteral("Add a board with old firmware (0.13)"), this);
    layout->addWidget(addOld);
    connect(addOld, &QPushButton::clicked, this, [this] { addOldBoard(); });

    for (std::size_t device = 0; device < bus_.deviceCount(); ++device) addPanel(device);
    fitToScreen();
    connect(&refresh_, &QTimer::timeout, this, [this] { update(); });
    refresh_.start(kRefreshMs);
}

void SimulationWindow::addPanel(std::size_t device) {
    auto* panel = new BoardPanel(bus_, device, content_);
    panels_->insertWidget(panels_->count() - 1, panel);  // above the stretch
    panel->show();  // now, not when the event loop gets to it: fitToScreen measures it
    boards_.push_back(panel);
}

void SimulationWindow::addOldBoard() {
    addPanel(demo::addOldFirmwareBoard(bus_, ++oldBoards_));
    fitToScreen();
    // Once the scroll range has grown to include it, the new board comes into view.
    QTimer::singleShot(0, this, [this, panel = boards_.back()] { scroll_->ensureWidgetVisible(panel); });
    update();
}

void SimulationWindow::fitToScreen() {
    // The window frame and title bar lie outside the widget's own geometry.
    constexpr int kFrameAllowance = 48;
    // A panel that just grew tells its parents through posted events: let them arrive first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QRect available = screen()->availableGeometry();
    const QSize content = content_->sizeHint();
    const int scrollFrame = 2 * scroll_->frameWidth();
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    scroll_->setMinimumWidth(std::min(content.width() + bar + scrollFrame, available.width() - kFrameAllowance));
    // Before the first show the widget's width is a default, not a choice of the user's.
    const int w = isVisible() ? std::max(width(), minimumSizeHint().width()) : minimumSizeHint().width();
    // All that is not the panels (the intro wraps at this width), plus the panels in full: taller
    // than that only adds empty space.
    const int full = layout()->totalHeightForWidth(w) - scroll_->sizeHint().height() + content.height() + scrollFrame;
    setMaximumHeight(std::max(full, minimumSizeHint().height()));
    resize(w, std::min(full, available.height() - kFrameAllowance));
}

void SimulationWindow::update() {
    bool widened = false;
    traffic_.take([this, &widened](std::size_t device, const SimCall& call) {
        if (device < boards_.size()) widened = boards_[device]->addReport(call) || widened;
    });
    if (widened) fitToScreen();
    for (std::size_t device = 0; device < boards_.size(); ++device) boards_[device]->refresh(traffic_.open(device));
}

}  // namespace korvex::demo
