#include "protocol/command_reports.h"

#include <algorithm>
#include <initializer_list>

namespace korvex {

bool featureLengthSupported(const HidCaps& caps) {
    const int length = caps.featureReportLength;
    return length >= kMinFeatureLength && length <= kMaxFeatureLength;
}

namespace {

// `length` bytes led by `head`, zeros after it; never longer than `length`, whatever it is.
std::vector<std::uint8_t> reportOf(int length, std::initializer_list<std::uint8_t> head) {
    std::vector<std::uint8_t> report(static_cast<std::size_t>(std::max(length, 0)), 0);
    std::copy_n(head.begin(), std::min(head.size(), report.size()), report.begin());
    return report;
}

}  // namespace

std::vector<std::uint8_t> writeReport(int length, std::uint8_t code, std::uint8_t value) {
    return reportOf(length, {0x00, kWriteMarker, code, value});
}

std::vector<std::uint8_t> selectReport(int length, std::uint8_t code) { return reportOf(length, {0x00, code}); }

void makeFollowUp(std::vector<std::uint8_t>& report) {
    if (report.size() < 2) return;
    report[0] = 0;
    report[1] = kFollowUpMarker;
}

bool sendCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code, std::uint8_t value) {
    if (!featureLengthSupported(session.capabilities)) return false;
    const auto report = writeReport(session.capabilities.featureReportLength, code, value);
    return platform.setFeature(session.deviceHandle, report);
}

std::optional<std::uint8_t> queryCommand(HidPlatform& platform, DeviceSession& session, std::uint8_t code) {
    if (!featureLengthSupported(session.capabilities)) return std::nullopt;
    const int length = session.capabilities.featureReportLength;
    if (!platform.setFeature(session.deviceHandle, selectReport(length, code))) return std::nullopt;
    // Cleared before every read, so nothing of an earlier answer can pass for this one; an answer
    // that stops before the value byte is a failed read, never a value.
    session.featureResponse.fill(0);
    const std::span<std::uint8_t> response(session.featureResponse.data(), static_cast<std::size_t>(length));
    if (platform.getFeature(session.deviceHandle, response) <= kValueByte) return std::nullopt;
    return session.featureResponse[kValueByte];
}

}  // namespace korvex
