#include "app/panel_adapter.h"

#include "protocol/settings.h"

namespace korvex::app {

namespace {

// Empties and disables every settings control and its labels.
void clearSettings(FormControls& c) {
    for (ListControl* list : c.encoderLists) {
        list->clear();
        list->setEnabled(false);
    }
    c.encoderFrame->setEnabled(false);
    c.pulseList->setEnabled(false);
    c.pulseList->clear();
    c.hideBox->setEnabled(false);
    c.hideBox->setValue(0);
    c.pulseLabel->setEnabled(false);
    for (LabelControl* label : c.pairLabels) label->setEnabled(false);
}

// Fills the lists with their entries, "OFF" selected, and enables the settings controls. The
// encoder lists get their first two entries before and the last two after the pulse list.
void fillSettings(FormControls& c) {
    for (ListControl* list : c.encoderLists) {
        list->addItem(kEncoderModeTexts[0], 0);
        list->addItem(kEncoderModeTexts[1], 1);
        list->setListIndex(0);
        list->setEnabled(true);
    }
    c.encoderFrame->setEnabled(true);
    c.pulseList->setEnabled(true);
    c.hideBox->setEnabled(true);
    c.pulseLabel->setEnabled(true);
    for (LabelControl* label : c.pairLabels) label->setEnabled(true);
    for (int code = kPulseCodeMin; code <= kPulseCodeMax; ++code) c.pulseList->addItem(pulseText(code), code - 1);
    for (ListControl* list : c.encoderLists) {
        list->addItem(kEncoderModeTexts[2], 2);
        list->addItem(kEncoderModeTexts[3], 3);
    }
}

void selectSettings(const BoardSettings& settings, FormControls& c) {
    // A pulse code without an entry (0, or above 25) selects none.
    c.pulseList->setListIndex(settings.pulseCode - 1);
    const auto modes = unpackEncoderModes({settings.modesLow, settings.modesHigh});
    for (std::size_t k = 0; k < modes.size(); ++k) c.encoderLists[k]->setListIndex(modes[k]);
    c.hideBox->setValue(hideFlagState(settings.hideFlag));
}

}  // namespace

int hideFlagState(std::uint8_t flag) { return flag <= 1 ? flag : 2; }

void showPanel(const PanelView& view, FormControls& c) {
    c.manufacturerLabel->setCaption("");
    c.productLabel->setCaption("");
    c.versionLabel->setCaption("");
    clearSettings(c);
    if (view.state == PanelState::Cleared) return;

    c.manufacturerLabel->setCaption(view.manufacturer);
    c.versionLabel->setCaption(view.version);
    c.productLabel->setCaption(view.product);
    c.detailsFrame->setEnabled(true);
    if (view.state != PanelState::Loaded) return;

    fillSettings(c);
    selectSettings(view.settings, c);
}

}  // namespace korvex::app
