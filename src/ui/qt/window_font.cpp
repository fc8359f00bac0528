#include "ui/qt/window_font.h"

#include <QFontDatabase>
#include <QStringList>

// The resource lives in a static library, so its registration must be pulled in by hand.
static void registerFontResource() { Q_INIT_RESOURCE(fonts); }

namespace korvex::ui {

namespace {

const QString kArial = QStringLiteral("Arial");
const QString kTwin = QStringLiteral("Liberation Sans");

// The family to ask for: Arial, else its twin, installed or loaded from the program's resources.
QString layoutFamily() {
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(kArial)) return kArial;
    if (!installed.contains(kTwin)) {
        registerFontResource();
        static const int loaded =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
        if (loaded < 0) return kArial;  // the best the system can do
    }
    return kTwin;
}

}  // namespace

QFont windowFont() {
    QFont font(layoutFamily());
    font.setPointSizeF(9.75);  // QFont's constructor would truncate to 9
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace korvex::ui
