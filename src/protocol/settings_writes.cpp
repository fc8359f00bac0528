#include "protocol/settings_writes.h"

#include "protocol/command_reports.h"
#include "protocol/settings.h"

namespace korvex {

namespace {

bool boardReady(const DeviceSession& session) {
    return session.settingsLoaded() && featureLengthSupported(session.capabilities);
}

WriteOutcome outcome(bool first, bool second) { return first && second ? WriteOutcome::Sent : WriteOutcome::Failed; }

}  // namespace

WriteOutcome writeEncoderModes(HidPlatform& platform, DeviceSession& session,
                               const std::array<int, kPairCount>& codes) {
    if (!boardReady(session)) return WriteOutcome::NotSent;
    // Only a mode the user or the board chose may travel; a list without one writes nothing.
    for (const int code : codes)
        if (!encoderCodeValid(code)) return WriteOutcome::NotSent;
    const EncoderModeBytes bytes = packEncoderModes(codes);
    auto report = writeReport(session.capabilities.featureReportLength, kCommandModesLow, bytes.low);
    const bool low = platform.setFeature(session.deviceHandle, report);
    report[2] = kCommandModesHigh;
    report[3] = bytes.high;
    const bool high = platform.setFeature(session.deviceHandle, report);
    return outcome(low, high);
}

WriteOutcome writePulseCode(HidPlatform& platform, DeviceSession& session, int pulseCode) {
    if (!boardReady(session)) return WriteOutcome::NotSent;
    if (pulseCode < kPulseCodeMin || pulseCode > kPulseCodeMax) return WriteOutcome::NotSent;
    return sendCommand(platform, session, kCommandPulse, static_cast<std::uint8_t>(pulseCode)) ? WriteOutcome::Sent
                                                                                               : WriteOutcome::Failed;
}

WriteOutcome writeHideFlag(HidPlatform& platform, DeviceSession& session, int state) {
    if (!boardReady(session)) return WriteOutcome::NotSent;
    if (state < 0 || state > 2) return WriteOutcome::NotSent;
    auto report = writeReport(session.capabilities.featureReportLength, kCommandHide, static_cast<std::uint8_t>(state));
    const bool write = platform.setFeature(session.deviceHandle, report);
    makeFollowUp(report);
    const bool followUp = platform.setFeature(session.deviceHandle, report);
    return outcome(write, followUp);
}

}  // namespace korvex
