// What the configurator's logic does to the window's controls, free of any toolkit. The event
// rules live here, in the non-virtual members, so every toolkit behaves the same: setting a
// list's selection, or changing the check box's state, raises that control's click at once, after
// the new value is in place; Clear and AddItem raise nothing. A toolkit raises the same click for
// the user's own choice through raiseClick(). Every text is UTF-8.
#pragma once

#include <functional>
#include <string>

namespace korvex::app {

class Control {
public:
    virtual ~Control() = default;
    void setEnabled(bool enabled) { applyEnabled(enabled); }
    virtual bool enabled() const = 0;

protected:
    virtual void applyEnabled(bool enabled) = 0;
};

class ClickSource {
public:
    void onClick(std::function<void()> handler) { click_ = std::move(handler); }
    // Runs the click handler, if one is wired.
    void raiseClick() {
        if (click_) click_();
    }

private:
    std::function<void()> click_;
};

class LabelControl : public Control {
public:
    void setCaption(const std::string& caption) { applyCaption(caption); }
    virtual std::string caption() const = 0;

protected:
    virtual void applyCaption(const std::string& caption) = 0;
};

class FrameControl : public Control {};

// A drop-down list whose items the user can only choose, never type.
class ListControl : public Control, public ClickSource {
public:
    void clear() { applyClear(); }
    // Inserts at `index` (appends when index is the count or out of range); selects nothing.
    void addItem(const std::string& text, int index) { applyAddItem(text, index); }
    // Selects the item at `index`; -1 or any index without an item selects none. Raises click.
    void setListIndex(int index) {
        applyListIndex(index >= 0 && index < listCount() ? index : -1);
        raiseClick();
    }
    virtual int listIndex() const = 0;
    virtual int listCount() const = 0;
    virtual std::string itemText(int index) const = 0;
    // The text of the selected item; empty when none is selected.
    std::string text() const {
        const int index = listIndex();
        return index >= 0 ? itemText(index) : std::string();
    }
    // What the list shows while it has no item (never an item itself), and a tooltip that
    // explains it; an empty tooltip gives the list back its own.
    void setPlaceholder(const std::string& text, const std::string& tooltip) { applyPlaceholder(text, tooltip); }

protected:
    virtual void applyClear() = 0;
    virtual void applyAddItem(const std::string& text, int index) = 0;
    virtual void applyListIndex(int index) = 0;
    virtual void applyPlaceholder(const std::string& text, const std::string& tooltip) = 0;
};

// States as the window shows them: 0 unchecked, 1 checked, 2 greyed.
class CheckBoxControl : public Control, public ClickSource {
public:
    // Raises click when the state changes, not when it is set to what it already is.
    void setValue(int value) {
        if (value == this->value()) return;
        applyValue(value);
        raiseClick();
    }
    virtual int value() const = 0;

protected:
    virtual void applyValue(int value) = 0;
};

class TimerControl {
public:
    virtual ~TimerControl() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    void onTick(std::function<void()> handler) { tick_ = std::move(handler); }
    void raiseTick() {
        if (tick_) tick_();
    }

private:
    std::function<void()> tick_;
};

}  // namespace korvex::app
