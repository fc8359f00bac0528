// Controls held in memory: the window's logic runs on them without a screen (tests, benchmark).
// Each control of the window's logic stands here under its name in the window.
#pragma once

#include "app/form_controls.h"

#include <memory>
#include <string>
#include <vector>

namespace korvex::testing {

using app::CheckBoxControl;
using app::FormControls;
using app::FrameControl;
using app::kEncoderCount;
using app::kTimerStartInterval;
using app::LabelControl;
using app::ListControl;
using app::TimerControl;

class MemoryLabel final : public LabelControl {
public:
    explicit MemoryLabel(std::string caption = {}, bool enabled = true)
        : caption_(std::move(caption)), enabled_(enabled) {}
    std::string caption() const override { return caption_; }
    bool enabled() const override { return enabled_; }

private:
    void applyCaption(const std::string& caption) override { caption_ = caption; }
    void applyEnabled(bool enabled) override { enabled_ = enabled; }
    std::string caption_;
    bool enabled_;
};

class MemoryFrame final : public FrameControl {
public:
    bool enabled() const override { return enabled_; }

private:
    void applyEnabled(bool enabled) override { enabled_ = enabled; }
    bool enabled_ = false;
};

class MemoryList final : public ListControl {
public:
    int listIndex() const override { return index_; }
    int listCount() const override { return static_cast<int>(items_.size()); }
    std::string itemText(int index) const override {
        return index >= 0 && index < listCount() ? items_[static_cast<std::size_t>(index)] : std::string();
    }
    bool enabled() const override { return enabled_; }
    const std::vector<std::string>& items() const { return items_; }
    const std::string& placeholder() const { return placeholder_; }
    const std::string& placeholderTooltip() const { return placeholderTooltip_; }
    // A user's choice: only possible while enabled, raises click like the program's.
    bool choose(int index);

private:
    void applyClear() override {
        items_.clear();
        index_ = -1;
    }
    void applyAddItem(const std::string& text, int index) override;
    void applyListIndex(int index) override { index_ = index; }
    void applyEnabled(bool enabled) override { enabled_ = enabled; }
    void applyPlaceholder(const std::string& text, const std::string& tooltip) override {
        placeholder_ = text;
        placeholderTooltip_ = tooltip;
    }
    std::vector<std::string> items_;
    std::string placeholder_, placeholderTooltip_;
    int index_ = -1;
    bool enabled_ = false;
};

class MemoryCheckBox final : public CheckBoxControl {
public:
    int value() const override { return value_; }
    bool enabled() const override { return enabled_; }
    // A user's click: unchecked and greyed become checked, checked becomes unchecked.
    bool click();

private:
    void applyValue(int value) override { value_ = value; }
    void applyEnabled(bool enabled) override { enabled_ = enabled; }
    int value_ = 0;
    bool enabled_ = false;
};

class MemoryTimer final : public TimerControl {
public:
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool enabled() const override { return enabled_; }
    void setInterval(int milliseconds) override { interval_ = milliseconds; }
    int interval() const override { return interval_; }
    // One tick as the toolkit raises it: only while enabled.
    bool fire() {
        if (!enabled_) return false;
        raiseTick();
        return true;
    }

private:
    bool enabled_ = false;
    int interval_ = kTimerStartInterval;
};

// A whole window's controls in their initial state, as the window describes them.
class MemoryForm {
public:
    MemoryForm();
    MemoryForm(const MemoryForm&) = delete;
    MemoryForm& operator=(const MemoryForm&) = delete;

    FormControls& controls() { return controls_; }
    MemoryFrame Frame1, Frame3;
    MemoryList SerNo, ModeCh1;
    std::array<MemoryList, kEncoderCount> Enc;
    MemoryLabel lblManuf, lblProduct, lblVersion;
    MemoryLabel Label1;
    std::array<MemoryLabel, kEncoderCount> pairLabel;
    MemoryCheckBox NoJoy;
    MemoryTimer Timer;
    int shown = 0;  // times the window was shown

private:
    FormControls controls_;
};

}  // namespace korvex::testing
