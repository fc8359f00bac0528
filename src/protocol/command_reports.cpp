#include "protocol/command_reports.h"

namespace korvex {

bool featureLengthSupported(const HidCaps& caps) {
    const int length = caps.FeatureReportByteLength;
    return length >= kMinFeatureLength && length <= kMaxFeatureLength;
}

std::vector<std::uint8_t> writeReport(int length, std::uint8_t code, std::uint8_t value) {
    std::vector<std::uint8_t> report(static_cast<std::size_t>(std::max(length, kMinFeatureLength)), 0);
    report[1] = kWriteMarker;
    report[2] = code;
    report[3] = value;
    report.resize(static_cast<std::size_t>(std::max(length, 0)));
    return report;
}

std::vector<std::uint8_t> selectReport(int length, std::uint8_t code) {
    std::vector<std::uint8_t> report(static_cast<std::size_t>(std::max(length, 2)), 0);
    report[1] = code;
    report.resize(static_cast<std::size_t>(std::max(length, 0)));
    return report;
}

void makeFollowUp(std::vector<std::uint8_t>& report) {
    if (report.size() < 2) return;
    report[0] = 0;
    report[1] = kFollowUpMarker;
}

bool SendCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code, std::uint8_t value) {
    if (!featureLengthSupported(session.capabilities)) return false;
    const auto report = writeReport(session.capabilities.FeatureReportByteLength, code, value);
    return platform.setFeature(session.deviceHandle, report);
}

std::optional<std::uint8_t> QueryCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code) {
    if (!featureLengthSupported(session.capabilities)) return std::nullopt;
    const int length = session.capabilities.FeatureReportByteLength;
    if (!platform.setFeature(session.deviceHandle, selectReport(length, code))) return std::nullopt;
    session.featureResponse[0] = 0;
    const std::span<std::uint8_t> response(session.featureResponse.data(), static_cast<std::size_t>(length));
    if (!platform.getFeature(session.deviceHandle, response)) return std::nullopt;
    return session.featureResponse[2];
}

}  // namespace korvex
