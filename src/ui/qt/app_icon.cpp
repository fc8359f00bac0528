#include "ui/qt/app_icon.h"

// The resource lives in a static library, so its registration must be pulled in by hand.
static void registerIconResource() { Q_INIT_RESOURCE(icons); }

namespace korvex::ui {

QIcon appIcon() {
    registerIconResource();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/wrench-32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/wrench-16.xpm"), QSize(16, 16));
    return icon;
}

}  // namespace korvex::ui
