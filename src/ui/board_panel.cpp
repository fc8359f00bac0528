#include "ui/board_panel.h"

#include "ui/report_text.h"

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
                 .arg(info.serial ? fromUtf16(*info.serial) : QStringLiteral("(unreadable)"))
                 .arg(versionText(info.version)));

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
    QString line;
    if (call.op == SimOp::SetFeature) {
        line = QStringLiteral("%1  %2").arg(describeReport(call.bytes), -16).arg(hexBytes(call.bytes));
    } else {
        line = QStringLiteral("%1  %2").arg(QStringLiteral("  answer %1").arg(call.bytes.size() > 2 ? call.bytes[2] : 0), -16)
                   .arg(hexBytes(call.bytes));
    }
    if (!call.ok) line += QStringLiteral("  (failed)");
    lastReports_.push_back(line);
    if (lastReports_.size() > kShownReports) lastReports_.pop_front();
    reportsChanged_ = true;
}

void BoardPanel::refresh(bool open) {
    const bool plugged = bus_.plugged(device_);
    plug_->setText(plugged ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
    status_->setText(QStringLiteral("%1%2").arg(plugged ? QStringLiteral("Plugged in") : QStringLiteral("Unplugged"),
                                               open ? QStringLiteral(", open in the configurator") : QString()));

    const BoardSettings& s = bus_.firmware(device_).settings();
    QStringList pairs;
    for (int pair = 1; pair <= 8; ++pair) {
        pairs << QStringLiteral("%1-%2 %3").arg(2 * pair - 1).arg(2 * pair).arg(modeName(s, pair));
    }
    settings_->setText(QStringLiteral("Encoders: %1\n          %2\nPulse: %3 ms (code %4)   Hidden: %5   Follow-ups: %6")
                           .arg(pairs.mid(0, 4).join(QStringLiteral(", ")), pairs.mid(4).join(QStringLiteral(", ")))
                           .arg(4 * s.pulseCode)
                           .arg(s.pulseCode)
                           .arg(s.hideFlag ? QStringLiteral("yes") : QStringLiteral("no"))
                           .arg(bus_.firmware(device_).followUps()));
    if (reportsChanged_) {
        reportsChanged_ = false;
        QStringList lines(lastReports_.begin(), lastReports_.end());
        reports_->setPlainText(lines.join(QLatin1Char('\n')));
        reports_->moveCursor(QTextCursor::End);  // the newest report in view
    }
}

}  // namespace korvex::ui
