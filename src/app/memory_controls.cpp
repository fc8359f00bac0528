#include "app/memory_controls.h"

namespace korvex::ui {

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
    static const char* const kPairNames[kEncoderCount] = {"1-2",  "3-4",   "5-6",   "7-8",
                                                          "9-10", "11-12", "13-14", "15-16"};
    for (int k = 0; k < kEncoderCount; ++k) {
        pairLabel[static_cast<std::size_t>(k)] = MemoryLabel(kPairNames[k], false);
    }
    controls_.Frame1 = &Frame1;
    controls_.Frame3 = &Frame3;
    controls_.SerNo = &SerNo;
    controls_.lblSerialNumber = &lblSerialNumber;
    controls_.lblManuf = &lblManuf;
    controls_.lblProduct = &lblProduct;
    controls_.lblVersion = &lblVersion;
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        controls_.Enc[k] = &Enc[k];
        controls_.pairLabel[k] = &pairLabel[k];
    }
    controls_.ModeCh1 = &ModeCh1;
    controls_.Label1 = &Label1;
    controls_.NoJoy = &NoJoy;
    controls_.Timer = &Timer;
    controls_.showWindow = [this] { ++shown; };
}

}  // namespace korvex::ui
