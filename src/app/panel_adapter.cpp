#include "app/panel_adapter.h"

#include "protocol/settings.h"

namespace korvex::ui {

namespace {

// Empties and disables every settings control and its labels.
void clearSettings(FormControls& c) {
    for (ListControl* list : c.Enc) {
        list->clear();
        list->setEnabled(false);
    }
    c.Frame3->setEnabled(false);
    c.ModeCh1->setEnabled(false);
    c.ModeCh1->clear();
    c.NoJoy->setEnabled(false);
    c.NoJoy->setValue(0);
    c.Label1->setEnabled(false);
    for (LabelControl* label : c.pairLabel) label->setEnabled(false);
}

// Fills the lists with their entries, "OFF" selected, and enables the settings controls. The
// encoder lists get their first two entries before and the last two after the pulse list.
void fillSettings(FormControls& c) {
    for (ListControl* list : c.Enc) {
        list->addItem(kEncoderModeTexts[0], 0);
        list->addItem(kEncoderModeTexts[1], 1);
        list->setListIndex(0);
        list->setEnabled(true);
    }
    c.Frame3->setEnabled(true);
    c.ModeCh1->setEnabled(true);
    c.NoJoy->setEnabled(true);
    c.Label1->setEnabled(true);
    for (LabelControl* label : c.pairLabel) label->setEnabled(true);
    for (int code = kPulseCodeMin; code <= kPulseCodeMax; ++code) c.ModeCh1->addItem(pulseText(code), code - 1);
    for (ListControl* list : c.Enc) {
        list->addItem(kEncoderModeTexts[2], 2);
        list->addItem(kEncoderModeTexts[3], 3);
    }
}

void selectSettings(const BoardSettings& settings, FormControls& c) {
    // A pulse code without an entry (0, or above 25) selects none.
    c.ModeCh1->setListIndex(settings.pulseCode - 1);
    const auto modes = unpackEncoderModes({settings.modesLow, settings.modesHigh});
    for (std::size_t k = 0; k < modes.size(); ++k) c.Enc[k]->setListIndex(modes[k]);
    c.NoJoy->setValue(hideFlagState(settings.hideFlag));
}

}  // namespace

int hideFlagState(std::uint8_t flag) { return flag <= 1 ? flag : 2; }

void showPanel(const PanelView& view, FormControls& c) {
    c.lblManuf->setCaption("");
    c.lblProduct->setCaption("");
    c.lblVersion->setCaption("");
    clearSettings(c);
    if (view.state == PanelState::Cleared) return;

    c.lblManuf->setCaption(view.manufacturer);
    c.lblVersion->setCaption(view.version);
    c.lblProduct->setCaption(view.product);
    c.Frame1->setEnabled(true);
    if (view.state != PanelState::Loaded) return;

    fillSettings(c);
    selectSettings(view.settings, c);
}

}  // namespace korvex::ui
