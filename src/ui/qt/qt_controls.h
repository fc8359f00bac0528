// The control interface on Qt widgets. Qt's own change signals are never forwarded: a list raises
// click for the program through app::ListControl::setListIndex and for the user through `activated`;
// the check box raises click for the program through app::CheckBoxControl::setValue and for the user
// through `clicked`. Programmatic changes are made with Qt's signals blocked.
#pragma once

#include "app/controls.h"
#include "ui/qt/caption_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <functional>

namespace korvex::ui {

class QtLabel final : public app::LabelControl {
public:
    explicit QtLabel(QLabel* label) : label_(label), caption_(label->text()) {}
    std::string caption() const override;
    bool enabled() const override { return label_->isEnabled(); }
    // A greyed text shown while the caption is empty; "" for none. The caption stays "".
    void setHint(const std::string& hint);

private:
    void applyCaption(const std::string& caption) override;
    void applyEnabled(bool enabled) override { label_->setEnabled(enabled); }
    void show();
    QLabel* label_;
    QString caption_, hint_;
};

class QtFrame final : public app::FrameControl {
public:
    explicit QtFrame(CaptionFrame* frame) : frame_(frame) {}
    bool enabled() const override { return frame_->inputEnabled(); }

private:
    void applyEnabled(bool enabled) override { frame_->setInputEnabled(enabled); }
    CaptionFrame* frame_;
};

// Lets the mouse wheel change the list only while it has the keyboard focus, and never gives it
// the focus: scrolling across the window must not change a setting on the way.
void takeWheelOnlyWithFocus(QComboBox* combo);

class QtList final : public app::ListControl {
public:
    explicit QtList(QComboBox* combo);
    // Told what the list shows while it is empty: its placeholder text, or "" once it has an item.
    void onEmptyText(std::function<void(const std::string&)> handler) { emptyText_ = std::move(handler); }
    int listIndex() const override { return combo_->currentIndex(); }
    int listCount() const override { return combo_->count(); }
    std::string itemText(int index) const override;
    bool enabled() const override { return combo_->isEnabled(); }

private:
    void applyClear() override;
    void applyAddItem(const std::string& text, int index) override;
    void applyListIndex(int index) override;
    void applyEnabled(bool enabled) override { combo_->setEnabled(enabled); }
    void applyPlaceholder(const std::string& text, const std::string& tooltip) override;
    void tellEmptyText();
    QComboBox* combo_;
    std::function<void(const std::string&)> emptyText_;
    // The list's own tooltip and description, while a placeholder's explanation stands in for them.
    bool explaining_ = false;
    QString ownToolTip_, ownDescription_;
};

// A two-state box that the program may also show greyed: a user's click turns unchecked and
// greyed into checked and checked into unchecked, never into greyed.
class ToggleBox final : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

class QtCheckBox final : public app::CheckBoxControl {
public:
    explicit QtCheckBox(ToggleBox* box);
    int value() const override;
    bool enabled() const override { return box_->isEnabled(); }

private:
    void applyValue(int value) override;
    void applyEnabled(bool enabled) override { box_->setEnabled(enabled); }
    ToggleBox* box_;
};

class QtTimer final : public app::TimerControl {
public:
    explicit QtTimer(int milliseconds);
    void setEnabled(bool enabled) override;
    bool enabled() const override { return timer_.isActive(); }
    void setInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
    int interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

}  // namespace korvex::ui
