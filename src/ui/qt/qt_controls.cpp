#include "ui/qt/qt_controls.h"

#include <QSignalBlocker>

namespace korvex::ui {

namespace {

// The logic's texts are UTF-8 (device strings narrowed to ISO 8859-1 arrive encoded so).
QString toQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string fromQt(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

std::string QtLabel::caption() const { return fromQt(label_->text()); }

void QtLabel::applyCaption(const std::string& caption) { label_->setText(toQt(caption)); }

QtList::QtList(QComboBox* combo) : combo_(combo) {
    combo_->setEditable(false);
    QObject::connect(combo_, &QComboBox::activated, combo_, [this] { raiseClick(); });
}

std::string QtList::itemText(int index) const { return fromQt(combo_->itemText(index)); }

void QtList::applyClear() {
    const QSignalBlocker blocker(combo_);
    combo_->clear();
}

void QtList::applyAddItem(const std::string& text, int index) {
    const QSignalBlocker blocker(combo_);
    const bool noneSelected = combo_->currentIndex() < 0;
    const int at = index >= 0 && index < combo_->count() ? index : combo_->count();
    combo_->insertItem(at, toQt(text));
    // Qt selects the first item put into an empty list; a new item never changes the selection.
    if (noneSelected) combo_->setCurrentIndex(-1);
}

void QtList::applyListIndex(int index) {
    const QSignalBlocker blocker(combo_);
    combo_->setCurrentIndex(index);
}

void ToggleBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

QtCheckBox::QtCheckBox(ToggleBox* box) : box_(box) {
    QObject::connect(box_, &QAbstractButton::clicked, box_, [this] { raiseClick(); });
}

int QtCheckBox::value() const {
    switch (box_->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
    }
    return 0;
}

void QtCheckBox::applyValue(int value) {
    const QSignalBlocker blocker(box_);
    box_->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

QtTimer::QtTimer(int milliseconds) {
    timer_.setInterval(milliseconds);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { raiseTick(); });
}

void QtTimer::setEnabled(bool enabled) {
    // Enabling a running timer keeps its phase; only a stopped one starts counting anew.
    if (!enabled) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        timer_.start();
    }
}

}  // namespace korvex::ui
