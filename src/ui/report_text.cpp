#include "ui/report_text.h"

#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <QStringList>

namespace korvex::ui {

QString hexBytes(std::span<const std::uint8_t> bytes) {
    QStringList parts;
    for (const std::uint8_t byte : bytes) parts << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

QString describeReport(std::span<const std::uint8_t> report) {
    if (report.size() < 2) return QStringLiteral("short report");
    const auto hex = [](std::uint8_t value) { return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0')).toUpper().replace(QStringLiteral("0X"), QStringLiteral("0x")); };
    if (report[1] == 0xEE && report.size() >= 4) return QStringLiteral("write %1 = %2").arg(report[2]).arg(hex(report[3]));
    if (report[1] == 0xB0 && report.size() >= 4) return QStringLiteral("follow-up %1").arg(hex(report[3]));
    return QStringLiteral("select %1").arg(report[1]);
}

QString modeName(const BoardSettings& settings, int pair) {
    const int code = encoderModeOf({settings.modesLow, settings.modesHigh}, pair);
    return QString::fromLatin1(kEncoderModeTexts[static_cast<std::size_t>(code)]);
}

QString versionText(std::uint16_t version) {
    return QString::fromStdString(versionCaption(version)).trimmed();  // the window's caption, without its blank
}

QString fromUtf16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace korvex::ui
