#include "protocol/device_panel.h"

#include "device/device_strings.h"
#include "protocol/command_reports.h"
#include "protocol/settings.h"

#include <array>
#include <cstdio>

namespace korvex {

namespace {

// Empties and disables every settings control and its labels.
void clearSettings(ui::FormControls& c) {
    for (ui::ListControl* list : c.Enc) {
        list->clear();
        list->setEnabled(false);
    }
    c.Frame3->setEnabled(false);
    c.ModeCh1->setEnabled(false);
    c.ModeCh1->clear();
    c.NoJoy->setEnabled(false);
    c.NoJoy->setValue(0);
    c.Label1->setEnabled(false);
    for (ui::LabelControl* label : c.pairLabel) label->setEnabled(false);
}

// Fills the lists with their entries, "OFF" selected, and enables the settings controls. The
// encoder lists get their first two entries before and the last two after the pulse list.
void fillSettings(ui::FormControls& c) {
    for (ui::ListControl* list : c.Enc) {
        list->addItem(kEncoderModeTexts[0], 0);
        list->addItem(kEncoderModeTexts[1], 1);
        list->setListIndex(0);
        list->setEnabled(true);
    }
    c.Frame3->setEnabled(true);
    c.ModeCh1->setEnabled(true);
    c.NoJoy->setEnabled(true);
    c.Label1->setEnabled(true);
    for (ui::LabelControl* label : c.pairLabel) label->setEnabled(true);
    for (int code = kPulseCodeMin; code <= kPulseCodeMax; ++code) c.ModeCh1->addItem(pulseText(code), code - 1);
    for (ui::ListControl* list : c.Enc) {
        list->addItem(kEncoderModeTexts[2], 2);
        list->addItem(kEncoderModeTexts[3], 3);
    }
}

// Captions that show a board's value begin with one blank.
std::string shown(const std::string& value) {
    std::string caption(1, ' ');
    caption.append(value);
    return caption;
}

// The check box state for a hide flag: a value the box has no state for shows greyed.
int hideFlagState(std::uint8_t flag) { return flag <= 1 ? flag : 2; }

// Reads the settings back into the filled controls; false as soon as one request fails.
bool readBack(HidPlatform& platform, DeviceSession& session, ui::FormControls& c) {
    const auto low = QueryCommand(platform, session, kCommandModesLow);
    if (!low) return false;
    const auto high = QueryCommand(platform, session, kCommandModesHigh);
    if (!high) return false;
    const auto pulse = QueryCommand(platform, session, kCommandPulse);
    if (!pulse) return false;
    // A pulse code without an entry (0, or above 25) selects none.
    c.ModeCh1->setListIndex(*pulse - 1);
    const EncoderModeBytes modes{*low, *high};
    for (int k = 1; k <= kPairCount; ++k) c.Enc[static_cast<std::size_t>(k - 1)]->setListIndex(encoderModeOf(modes, k));
    const auto hide = QueryCommand(platform, session, kCommandHide);
    if (!hide) return false;
    c.NoJoy->setValue(hideFlagState(*hide));
    return true;
}

}  // namespace

std::string versionCaption(std::uint16_t versionNumber) {
    char text[16];
    std::snprintf(text, sizeof text, " %u.%X", static_cast<unsigned>(versionNumber >> 8),
                  static_cast<unsigned>(versionNumber & 0xFF));
    return text;
}

void RefreshDevicePanel(HidPlatform& platform, DeviceSession& session, ui::FormControls& c) {
    session.settingsLoaded = false;
    session.deviceFaulted = false;
    c.lblManuf->setCaption("");
    c.lblProduct->setCaption("");
    c.lblVersion->setCaption("");
    clearSettings(c);
    if (!session.deviceDetected) return;

    // Device details. Without a manufacturer string the version counts as 0.0.
    std::array<std::uint8_t, kDeviceStringBufferBytes> buffer{};
    const std::span<std::uint8_t> readable(buffer.data(), kDeviceStringBytes);
    std::uint16_t version = 0;
    if (platform.getString(session.deviceHandle, HidString::Manufacturer, readable)) {
        c.lblManuf->setCaption(shown(NarrowDeviceString(buffer)));
        version = session.attributes.VersionNumber;
        c.lblVersion->setCaption(versionCaption(version));
    }
    if (platform.getString(session.deviceHandle, HidString::Product, readable)) {
        c.lblProduct->setCaption(shown(NarrowDeviceString(buffer)));
    }
    c.Frame1->setEnabled(true);

    if (version < kMinFirmwareVersion) {
        c.lblVersion->setCaption(c.lblVersion->caption().append(kFirmwareWarning));
        return;
    }
    // A board whose feature reports cannot carry a command, or would overflow the response
    // buffer, is shown but not configured.
    if (!featureLengthSupported(session.capabilities)) return;

    fillSettings(c);
    if (!readBack(platform, session, c)) {
        // Never show or write values that were not read: leave the settings empty, and let the
        // supervision close the board and find it again.
        clearSettings(c);
        session.deviceFaulted = true;
        return;
    }
    session.settingsLoaded = true;
}

}  // namespace korvex
