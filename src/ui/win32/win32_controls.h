// The control interface on Win32 controls. Windows sends no notification when the program sets a
// selection (CB_SETCURSEL) or a check state (BM_SETCHECK), so the program's changes raise click
// only through the interface's own members; the user's choice arrives as CBN_SELCHANGE or
// BN_CLICKED at the parent, which hands it to dispatchCommand().
#pragma once

#include "app/controls.h"

#include <windows.h>

#include <functional>
#include <string>

namespace korvex::ui {

// A control that acts on the notifications it sends its parent through WM_COMMAND.
class CommandTarget {
public:
    virtual void onCommand(UINT code) = 0;

protected:
    ~CommandTarget() = default;
};

// Called by every window that parents controls, for each WM_COMMAND from a control.
void dispatchCommand(HWND control, UINT code);

class Win32Label final : public app::LabelControl {
public:
    explicit Win32Label(HWND label);
    std::string caption() const override { return caption_; }
    bool enabled() const override { return IsWindowEnabled(label_) != FALSE; }
    // A greyed text shown while the caption is empty; "" for none. The caption stays "".
    void setHint(const std::string& hint);

private:
    void applyCaption(const std::string& caption) override;
    void applyEnabled(bool enabled) override { EnableWindow(label_, enabled); }
    void show();
    HWND label_;
    std::string caption_, hint_;
};

// A frame's enabled state is the container window's: disabled, it passes no input to its
// controls, which keep their own state and look.
class Win32Frame final : public app::FrameControl {
public:
    explicit Win32Frame(HWND frame) : frame_(frame) {}
    bool enabled() const override { return IsWindowEnabled(frame_) != FALSE; }

private:
    void applyEnabled(bool enabled) override;
    HWND frame_;
};

// A CBS_DROPDOWNLIST combo box. It takes the mouse wheel only while it has the keyboard focus,
// and no input at all while a frame around it is disabled.
class Win32List final : public app::ListControl, public CommandTarget {
public:
    explicit Win32List(HWND combo);
    ~Win32List() override;
    // Told what the list shows while it is empty: its placeholder text, or "" once it has an item.
    void onEmptyText(std::function<void(const std::string&)> handler) { emptyText_ = std::move(handler); }
    // Told the tooltip that explains the placeholder, or "" when the list's own tooltip is back.
    void onExplain(std::function<void(const std::string&)> handler) { explain_ = std::move(handler); }
    int listIndex() const override;
    int listCount() const override;
    std::string itemText(int index) const override;
    bool enabled() const override { return IsWindowEnabled(combo_) != FALSE; }
    void onCommand(UINT code) override;

private:
    void applyClear() override;
    void applyAddItem(const std::string& text, int index) override;
    void applyListIndex(int index) override;
    void applyEnabled(bool enabled) override { EnableWindow(combo_, enabled); }
    void applyPlaceholder(const std::string& text, const std::string& tooltip) override;
    void tellEmptyText();
    HWND combo_;
    std::string placeholder_;
    std::function<void(const std::string&)> emptyText_, explain_;
};

// A BS_3STATE button: the program may show it greyed, while a user's click turns unchecked or
// greyed into checked and checked into unchecked, never into greyed.
class Win32CheckBox final : public app::CheckBoxControl, public CommandTarget {
public:
    explicit Win32CheckBox(HWND box);
    ~Win32CheckBox() override;
    int value() const override;
    bool enabled() const override { return IsWindowEnabled(box_) != FALSE; }
    void onCommand(UINT code) override;

private:
    void applyValue(int value) override;
    void applyEnabled(bool enabled) override { EnableWindow(box_, enabled); }
    HWND box_;
};

// SetTimer on the owner window, so ticks arrive as WM_TIMER on the window's thread; the owner
// passes them on to raiseTick().
class Win32Timer final : public app::TimerControl {
public:
    Win32Timer(HWND owner, UINT_PTR id, int milliseconds) : owner_(owner), id_(id), interval_(milliseconds) {}
    void setEnabled(bool enabled) override;
    bool enabled() const override { return enabled_; }
    void setInterval(int milliseconds) override;
    int interval() const override { return interval_; }
    UINT_PTR id() const { return id_; }

private:
    HWND owner_;
    UINT_PTR id_;
    int interval_;
    bool enabled_ = false;
};

}  // namespace korvex::ui
