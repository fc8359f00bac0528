#include "demo/qt/board_panel.h"

#include "demo/report_text.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvex::ui {

namespace {
constexpr std::size_t kShownReports = 10;
}

BoardPanel::BoardPanel(SimulatedBus& bus, std::size_t device, QWidget* parent)
    : QGroupBox(parent), bus_(bus), device_(device) {
    const SimDeviceInfo& info = bus.info(device);
    setTitle(QStringLiteral("Board %1: serial %2, firmware %3")
                 .arg(device + 1)
                 .arg(QString::fromStdString(demo::serialText(info)))
                 .arg(QString::fromStdString(demo::versionText(info.version))));

    plug_ = new QPushButton(this);
    silent_ = new QCheckBox(QStringLiteral("Silent (sends no input reports)"), this);
    status_ = new QLabel(this);
    settings_ = new QLabel(this);
    settings_->setTextFormat(Qt::PlainText);
    reports_ = new QPlainTextEdit(this);
    reports_->setReadOnly(true);
    reports_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    reports_->setLineWrapMode(QPlainTextEdit::NoWrap);
    reports_->setMinimumSize(reports_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 48,
                             reports_->fontMetrics().lineSpacing() * static_cast<int>(kShownReports) + 12);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(plug_);
    buttons->addWidget(silent_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
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
    refresh(false);
}

void BoardPanel::addReport(const SimCall& call) {
    lastReports_.push_back(QString::fromStdString(demo::reportLine(call)));
    if (lastReports_.size() > kShownReports) lastReports_.pop_front();
    reportsChanged_ = true;
}

void BoardPanel::refresh(bool open) {
    const bool plugged = bus_.plugged(device_);
    plug_->setText(plugged ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
    status_->setText(QStringLiteral("%1%2").arg(plugged ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"),
                                               open ? QStringLiteral(", open in the configurator") : QString()));

    settings_->setText(QString::fromStdString(demo::settingsText(bus_.firmware(device_))));
    if (reportsChanged_) {
        reportsChanged_ = false;
        QStringList lines(lastReports_.begin(), lastReports_.end());
        reports_->setPlainText(lines.join(QLatin1Char('\n')));
        reports_->moveCursor(QTextCursor::End);  // the newest report in view
    }
}

}  // namespace korvex::ui
