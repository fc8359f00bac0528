#include "app/configurator.h"

#include "device/discovery.h"
#include "protocol/device_panel.h"
#include "protocol/settings_writes.h"

#include <algorithm>

namespace korvex {

namespace {
// Room for the report ID byte and 64 report bytes, or the board's longer input report.
constexpr std::size_t kMinInputBuffer = 65;
}  // namespace

Configurator::Configurator(HidPlatform& platform, ui::FormControls& controls)
    : platform_(platform), controls_(controls) {
    for (std::size_t k = 0; k < controls_.Enc.size(); ++k) {
        controls_.Enc[k]->onClick([this, k] { onEncoderChosen(static_cast<int>(k) + 1); });
    }
    controls_.ModeCh1->onClick([this] { onPulseChosen(); });
    controls_.NoJoy->onClick([this] { onHideToggled(); });
    controls_.SerNo->onClick([this] { onSerialChosen(); });
    controls_.Timer->onTick([this] { onTimerTick(); });
}

Configurator::~Configurator() {
    // The controls may outlive the logic: leave them no handler that reaches back here.
    for (ui::ListControl* list : controls_.Enc) list->onClick(nullptr);
    controls_.ModeCh1->onClick(nullptr);
    controls_.NoJoy->onClick(nullptr);
    controls_.SerNo->onClick(nullptr);
    controls_.Timer->onTick(nullptr);
    controls_.Timer->setEnabled(false);
    if (session_.deviceDetected) closeDevice();
}

void Configurator::start() {
    session_.settingsLoaded = false;
    session_.reselectPending = false;
    session_.serialListReady = false;
    if (controls_.showWindow) controls_.showWindow();
    Scan_USB_devices(platform_, session_, *controls_.SerNo);
    session_.deviceDetected = FindTheHid(platform_, session_, *controls_.SerNo);
    RefreshDevicePanel(platform_, session_, controls_);
    controls_.Timer->setEnabled(true);
}

void Configurator::stop() {
    controls_.Timer->setEnabled(false);
    session_.serialListReady = false;
    if (session_.deviceDetected) closeDevice();
}

void Configurator::onTimerTick() { pollDevice(); }

void Configurator::pollDevice() {
    if (session_.deviceDetected) {
        inputBuffer_.resize(std::max<std::size_t>(kMinInputBuffer, session_.capabilities.InputReportByteLength));
        inputBuffer_[0] = 0;
        const InputRead read = platform_.readInput(session_.deviceHandle, inputBuffer_, kLivenessBound);
        if (read != InputRead::Gone && !session_.reselectPending && !session_.deviceFaulted) {
            controls_.Timer->setInterval(kConnectedInterval);
            return;
        }
        closeDevice();
        controls_.Timer->setInterval(kLostInterval);
    }
    session_.settingsLoaded = false;
    Scan_USB_devices(platform_, session_, *controls_.SerNo);
    session_.deviceDetected = FindTheHid(platform_, session_, *controls_.SerNo);
    if (session_.deviceDetected) session_.reselectPending = false;
    RefreshDevicePanel(platform_, session_, controls_);
}

void Configurator::onSerialChosen() {
    if (!session_.serialListReady) return;
    controls_.Timer->setEnabled(false);
    session_.reselectPending = true;
    if (session_.deviceDetected) {
        closeDevice();
        controls_.Timer->setInterval(kLostInterval);
    }
    session_.settingsLoaded = false;
    session_.deviceDetected = FindTheHid(platform_, session_, *controls_.SerNo);
    if (session_.deviceDetected) session_.reselectPending = false;
    RefreshDevicePanel(platform_, session_, controls_);
    controls_.Timer->setEnabled(true);
}

void Configurator::onEncoderChosen(int /*pair*/) {
    // Any one list writes the modes of all eight pairs.
    afterWrite(WriteEncoderModes(platform_, session_, controls_));
}

void Configurator::onPulseChosen() { afterWrite(WritePulseCode(platform_, session_, controls_)); }

void Configurator::onHideToggled() { afterWrite(WriteHideFlag(platform_, session_, controls_)); }

void Configurator::afterWrite(WriteOutcome outcome) {
    // A refused write leaves the board holding what it held: read it back at once rather than
    // go on showing a choice it never took. If that read fails too, the board counts as lost.
    if (outcome == WriteOutcome::Failed) RefreshDevicePanel(platform_, session_, controls_);
}

void Configurator::closeDevice() {
    session_.deviceDetected = false;
    session_.settingsLoaded = false;
    session_.deviceFaulted = false;
    platform_.close(session_.deviceHandle);
    session_.deviceHandle = kInvalidHandle;
}

}  // namespace korvex
