// One simulated board in the demo's control window: plug, silence, how it answers feature
// requests, an encoder to turn, its firmware state and the last feature reports it received.
#pragma once

#include "simulation/simulated_bus.h"

#include <QGroupBox>

#include <cstddef>
#include <deque>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace korvex::demo {

class BoardPanel final : public QGroupBox {
    Q_OBJECT

public:
    BoardPanel(SimulatedBus& bus, std::size_t device, QWidget* parent = nullptr);

    // A feature request the board answered: sent = from the configurator, else the board's answer.
    // Returns true when its line made the panel wider.
    bool addReport(const SimCall& call);
    // Shows the bus's current view of the board; `open` = the configurator holds a handle on it.
    void refresh(bool open);

private:
    // Widens the reports view so that `line` shows whole; returns true if it had to.
    bool fitReportWidth(const QString& line);

    SimulatedBus& bus_;
    std::size_t device_;
    QPushButton* plug_;
    QCheckBox* silent_;
    QComboBox* fault_;
    QComboBox* turnPair_;
    QSpinBox* turnSteps_;
    QSpinBox* turnRate_;
    QPushButton* turn_;
    QLabel* status_;
    QLabel* settings_;
    QPlainTextEdit* reports_;
    std::deque<QString> lastReports_;
    bool reportsChanged_ = false;
};

}  // namespace korvex::demo
