#include "ui/qt/qt_controls.h"

#include <QEvent>
#include <QSignalBlocker>

namespace korvex::ui {

namespace {

// The logic's texts are UTF-8 (device strings narrowed to ISO 8859-1 arrive encoded so).
QString toQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string fromQt(const QString& text) { return text.toUtf8().toStdString(); }

class WheelNeedsFocus final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus()) return false;
        event->ignore();  // handled here, and offered to the parent as unused
        return true;
    }
};

}  // namespace

void takeWheelOnlyWithFocus(QComboBox* combo) {
    combo->setFocusPolicy(Qt::StrongFocus);  // Tab and a click, not the wheel
    combo->installEventFilter(new WheelNeedsFocus(combo));
}

std::string QtLabel::caption() const { return fromQt(caption_); }

void QtLabel::applyCaption(const std::string& caption) {
    caption_ = toQt(caption);
    show();
}

void QtLabel::setHint(const std::string& hint) {
    hint_ = toQt(hint);
    show();
}

void QtLabel::show() {
    // A caption always wins: a board's own strings never share the box with a hint.
    const bool hinting = caption_.isEmpty() && !hint_.isEmpty();
    label_->setForegroundRole(hinting ? QPalette::PlaceholderText : QPalette::WindowText);
    label_->setText(hinting ? hint_ : caption_);
}

QtList::QtList(QComboBox* combo) : combo_(combo) {
    combo_->setEditable(false);
    QObject::connect(combo_, &QComboBox::activated, combo_, [this] { raiseClick(); });
}

std::string QtList::itemText(int index) const { return fromQt(combo_->itemText(index)); }

void QtList::applyClear() {
    const QSignalBlocker blocker(combo_);
    combo_->clear();
    tellEmptyText();
}

void QtList::applyAddItem(const std::string& text, int index) {
    const QSignalBlocker blocker(combo_);
    const bool noneSelected = combo_->currentIndex() < 0;
    const int at = index >= 0 && index < combo_->count() ? index : combo_->count();
    combo_->insertItem(at, toQt(text));
    // Qt selects the first item put into an empty list; a new item never changes the selection.
    if (noneSelected) combo_->setCurrentIndex(-1);
    tellEmptyText();
}

void QtList::tellEmptyText() {
    if (emptyText_) emptyText_(combo_->count() == 0 ? fromQt(combo_->placeholderText()) : std::string());
}

void QtList::applyListIndex(int index) {
    const QSignalBlocker blocker(combo_);
    combo_->setCurrentIndex(index);
}

void QtList::applyPlaceholder(const std::string& text, const std::string& tooltip) {
    combo_->setPlaceholderText(toQt(text));
    tellEmptyText();
    if (!tooltip.empty()) {
        if (!explaining_) {
            ownToolTip_ = combo_->toolTip();
            ownDescription_ = combo_->accessibleDescription();
        }
        explaining_ = true;
        // A screen reader hears the explanation too, not only a mouse pointer resting there.
        combo_->setToolTip(toQt(tooltip));
        combo_->setAccessibleDescription(toQt(text + ". " + tooltip));
    } else if (explaining_) {
        explaining_ = false;
        combo_->setToolTip(ownToolTip_);
        combo_->setAccessibleDescription(ownDescription_);
    }
}

void ToggleBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

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
