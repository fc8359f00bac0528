#include "support/memory_controls.h"

#include "app/main_form.h"

namespace korvex::testing {

bool MemoryList::choose(int index) {
    if (!enabled_ || index < 0 || index >= listCount()) return false;
    index_ = index;
    raiseClick();
    return true;
}

void MemoryList::applyAddItem(const std::string& text, int index) {
    const auto at = index >= 0 && index < listCount() ? items_.begin() + index : items_.end();
    const bool beforeSelection = index_ >= 0 && at - items_.begin() <= index_;
    items_.insert(at, text);
    if (beforeSelection) ++index_;  // the selected item keeps its selection when pushed down
}

bool MemoryCheckBox::click() {
    if (!enabled_) return false;
    value_ = value_ == 1 ? 0 : 1;
    raiseClick();
    return true;
}

MemoryForm::MemoryForm() {
    for (const app::ControlRow& row : app::mainForm().controls) {
        if (row.role == app::Role::PairLabel)
            pairLabel.at(static_cast<std::size_t>(row.pair)) = MemoryLabel(row.caption, row.enabled);
        if (row.role == app::Role::PulseLabel) Label1 = MemoryLabel(row.caption, row.enabled);
    }
    controls_.detailsFrame = &Frame1;
    controls_.encoderFrame = &Frame3;
    controls_.serialList = &SerNo;
    controls_.manufacturerLabel = &lblManuf;
    controls_.productLabel = &lblProduct;
    controls_.versionLabel = &lblVersion;
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        controls_.encoderLists[k] = &Enc[k];
        controls_.pairLabels[k] = &pairLabel[k];
    }
    controls_.pulseList = &ModeCh1;
    controls_.pulseLabel = &Label1;
    controls_.hideBox = &NoJoy;
    controls_.pollTimer = &Timer;
    controls_.showWindow = [this] { ++shown; };
}

}  // namespace korvex::testing
