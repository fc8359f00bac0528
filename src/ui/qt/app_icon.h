// The window's icon: a grey open-end wrench, 32 x 32 and 16 x 16 pixels, compiled in.
#pragma once

#include <QIcon>

namespace korvex::ui {

QIcon appIcon();

}  // namespace korvex::ui
