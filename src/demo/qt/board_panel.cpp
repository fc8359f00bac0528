#include "demo/qt/board_panel.h"

#include "demo/demo_bus.h"
#include "demo/report_text.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace korvex::demo {

namespace {
constexpr std::size_t kShownReports = 10;
}

BoardPanel::BoardPanel(SimulatedBus& bus, std::size_t device, QWidget* parent)
    : QGroupBox(parent), bus_(bus), device_(device) {
    const SimDeviceInfo& info = bus.info(device);
    setTitle(QStringLiteral("Board %1: serial %2, firmware %3")
                 .arg(device + 1)
                 .arg(QString::fromStdString(demo::serialText(info)))
                 .arg(QString::fromStdString(versionText(info.version))));

    plug_ = new QPushButton(this);
    silent_ = new QCheckBox(QStringLiteral("Silent (sends no input reports)"), this);
    fault_ = new QComboBox(this);
    for (const char* choice : demo::kFaultChoices) fault_->addItem(QString::fromLatin1(choice));
    auto* faultLabel = new QLabel(QString::fromLatin1(demo::kFaultLabel), this);
    faultLabel->setBuddy(fault_);
    turnPair_ = new QComboBox(this);
    for (int pair = 1; pair <= kPairCount; ++pair) turnPair_->addItem(QString::fromStdString(pairName(pair)));
    turnPair_->setAccessibleName(QStringLiteral("Turn the encoder on buttons"));
    turnSteps_ = new QSpinBox(this);
    turnSteps_->setRange(-demo::kTurnMaxSteps, demo::kTurnMaxSteps);
    turnSteps_->setValue(demo::kTurnDefaultSteps);
    turnSteps_->setAccessibleName(QStringLiteral("Steps to turn, negative the other way"));
    turnRate_ = new QSpinBox(this);
    turnRate_->setRange(1, demo::kTurnMaxRate);
    turnRate_->setValue(demo::kTurnDefaultRate);
    turnRate_->setAccessibleName(QStringLiteral("Steps a second"));
    turn_ = new QPushButton(QString::fromLatin1(demo::kTurnButton), this);
    turn_->setAccessibleName(QStringLiteral("Turn the encoder"));
    status_ = new QLabel(this);
    settings_ = new QLabel(this);
    settings_->setTextFormat(Qt::PlainText);
    reports_ = new QPlainTextEdit(this);
    reports_->setReadOnly(true);
    reports_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Whole lines, never wrapped: wide enough for the longest line this board's reports can make
    // (an answer of its full feature length that failed), and tall enough for every line kept.
    reports_->setLineWrapMode(QPlainTextEdit::NoWrap);
    SimCall widest(SimOp::GetFeature);
    widest.bytes.assign(std::max<std::size_t>(info.caps.featureReportLength, 2), 0xFF);
    fitReportWidth(QString::fromStdString(demo::reportLine(widest)));
    const int margins = 2 * (reports_->frameWidth() + static_cast<int>(reports_->document()->documentMargin()));
    reports_->setMinimumHeight(reports_->fontMetrics().lineSpacing() * static_cast<int>(kShownReports) + margins);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(plug_);
    buttons->addWidget(silent_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    auto* faults = new QHBoxLayout;
    faults->addWidget(faultLabel);
    faults->addWidget(fault_);
    faults->addStretch();
    layout->addLayout(faults);
    auto* turnRow = new QHBoxLayout;
    for (auto [label, field] : {std::pair<const char*, QWidget*>{demo::kTurnPairLabel, turnPair_},
                                {demo::kTurnStepsLabel, turnSteps_},
                                {demo::kTurnRateLabel, turnRate_}}) {
        auto* caption = new QLabel(QString::fromLatin1(label), this);
        caption->setBuddy(field);
        turnRow->addWidget(caption);
        turnRow->addWidget(field);
    }
    turnRow->addWidget(turn_);
    turnRow->addStretch();
    layout->addLayout(turnRow);
    layout->addWidget(status_);
    layout->addWidget(settings_);
    layout->addWidget(new QLabel(QStringLiteral("Last feature reports (newest last):"), this));
    layout->addWidget(reports_);

    connect(plug_, &QPushButton::clicked, this, [this] {
        if (bus_.plugged(device_)) {
            bus_.unplug(device_);
        } else {
            bus_.replug(device_);
        }
    });
    connect(silent_, &QCheckBox::toggled, this, [this](bool on) { bus_.setSilent(device_, on); });
    connect(turn_, &QPushButton::clicked, this, [this] {
        demo::turnEncoder(bus_, device_, turnPair_->currentIndex() + 1, turnSteps_->value(), turnRate_->value());
    });
    connect(fault_, &QComboBox::currentIndexChanged, this,
            [this](int index) { bus_.setFault(device_, static_cast<FeatureFault>(index)); });
    refresh(false);
}

bool BoardPanel::fitReportWidth(const QString& line) {
    const int margins = 2 * (reports_->frameWidth() + static_cast<int>(reports_->document()->documentMargin()));
    // The cursor's width and rounding: a line exactly as wide as the view would still scroll.
    const int needed = reports_->fontMetrics().horizontalAdvance(line) + margins + 4;
    if (needed <= reports_->minimumWidth()) return false;
    reports_->setMinimumWidth(needed);
    return true;
}

bool BoardPanel::addReport(const SimCall& call) {
    lastReports_.push_back(QString::fromStdString(demo::reportLine(call)));
    // A line longer than the board's feature length allows (another caller's buffer) widens the view.
    const bool widened = fitReportWidth(lastReports_.back());
    if (lastReports_.size() > kShownReports) lastReports_.pop_front();
    reportsChanged_ = true;
    return widened;
}

void BoardPanel::refresh(bool open) {
    const demo::BoardView view = demo::boardView(bus_, device_);
    const bool plugged = view.plugged;
    plug_->setText(plugged ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
    // An unplugged board would keep the turn and report it all at once when plugged in again.
    turn_->setEnabled(plugged);
    status_->setText(QStringLiteral("%1%2").arg(plugged ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"),
                                                open ? QStringLiteral(", open in the configurator") : QString()));

    settings_->setText(QString::fromStdString(demo::settingsText(view.firmware)));
    const QSignalBlocker quiet(fault_);  // showing the bus's state is no choice of the user's
    fault_->setCurrentIndex(static_cast<int>(view.firmware.fault()));
    if (reportsChanged_) {
        reportsChanged_ = false;
        QStringList lines(lastReports_.begin(), lastReports_.end());
        reports_->setPlainText(lines.join(QLatin1Char('\n')));
        reports_->moveCursor(QTextCursor::End);  // the newest report in view
    }
}

}  // namespace korvex::demo
