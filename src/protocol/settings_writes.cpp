#include "protocol/settings_writes.h"

#include "protocol/command_reports.h"
#include "protocol/settings.h"

namespace korvex {

namespace {

bool boardReady(const DeviceSession& session) {
    return session.deviceDetected && session.settingsLoaded && featureLengthSupported(session.capabilities);
}

WriteOutcome outcome(bool first, bool second) {
    return first && second ? WriteOutcome::Sent : WriteOutcome::Failed;
}

}  // namespace

WriteOutcome WriteEncoderModes(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls) {
    if (!session.serialListReady || !boardReady(session)) return WriteOutcome::NotSent;
    std::array<int, kPairCount> codes{};
    for (std::size_t k = 0; k < codes.size(); ++k) {
        codes[k] = controls.Enc[k]->listIndex();
        // Only a mode the user or the board chose may travel; a list without one writes nothing.
        if (!encoderCodeValid(codes[k])) return WriteOutcome::NotSent;
    }
    const EncoderModeBytes bytes = packEncoderModes(codes);
    auto report = writeReport(session.capabilities.FeatureReportByteLength, kCommandModesLow, bytes.low);
    const bool low = platform.setFeature(session.deviceHandle, report);
    report[2] = kCommandModesHigh;
    report[3] = bytes.high;
    const bool high = platform.setFeature(session.deviceHandle, report);
    return outcome(low, high);
}

WriteOutcome WritePulseCode(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls) {
    if (!boardReady(session)) return WriteOutcome::NotSent;
    const int code = controls.ModeCh1->listIndex() + 1;
    if (code < kPulseCodeMin || code > kPulseCodeMax) return WriteOutcome::NotSent;
    return SendCommand(platform, session, kCommandPulse, static_cast<std::uint8_t>(code)) ? WriteOutcome::Sent
                                                                                          : WriteOutcome::Failed;
}

WriteOutcome WriteHideFlag(HidPlatform& platform, DeviceSession& session, const ui::FormControls& controls) {
    if (!boardReady(session)) return WriteOutcome::NotSent;
    const int value = controls.NoJoy->value();
    if (value < 0 || value > 2) return WriteOutcome::NotSent;
    auto report = writeReport(session.capabilities.FeatureReportByteLength, kCommandHide,
                              static_cast<std::uint8_t>(value));
    const bool write = platform.setFeature(session.deviceHandle, report);
    makeFollowUp(report);
    const bool followUp = platform.setFeature(session.deviceHandle, report);
    return outcome(write, followUp);
}

}  // namespace korvex
