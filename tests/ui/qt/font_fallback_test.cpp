// The window on a system with neither Arial nor Liberation Sans: CMake runs this test with a
// fontconfig setup that holds only the DejaVu fonts, the common fallback that is about 14 % wider.
#include "ui/qt/caption_frame.h"
#include "ui/qt/main_window.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QStyle>

#include <gtest/gtest.h>

namespace korvex::ui {
namespace {

TEST(FontFallback, WithOnlyDejaVuInstalledEveryTextFitsItsRectangle) {
    const QStringList installed = QFontDatabase::families();
    ASSERT_TRUE(installed.contains("DejaVu Sans")) << installed.join(", ").toStdString();
    ASSERT_FALSE(installed.contains("Arial"));
    ASSERT_FALSE(installed.contains("Liberation Sans"));

    MainWindow window;
    EXPECT_EQ(QFontInfo(window.font()).family(), "Liberation Sans");  // the copy the program carries
    EXPECT_EQ(window.font().pointSizeF(), 9.75);

    int checked = 0;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 13);  // the four captions of the details, the eight pair labels, the pulse length
    for (const CaptionFrame* frame : window.findChildren<CaptionFrame*>()) {
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->caption()), frame->width() - 2 * 8)
            << frame->caption().toStdString();
    }
    const auto* box = window.findChild<QCheckBox*>("NoJoy");
    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                          box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
    EXPECT_LE(indicator + box->fontMetrics().horizontalAdvance(box->text()), box->width());

    // What the system alone would have given clips: the check above has something to catch.
    QFont fallback(QStringLiteral("DejaVu Sans"));
    fallback.setPointSizeF(9.75);
    const auto* pulse = window.findChild<QLabel*>("Label1");
    EXPECT_GT(QFontMetrics(fallback).horizontalAdvance(pulse->text()), pulse->width());
}

}  // namespace
}  // namespace korvex::ui
