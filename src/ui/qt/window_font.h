// The window's font: Arial 9.75 pt, as the fixed layout was measured with. Where Arial is not
// installed, a metric-compatible twin (Liberation Sans) keeps every text inside its rectangle; the
// program carries one for systems that have neither, since any other fallback is wider and clips.
#pragma once

#include <QFont>

namespace korvex::ui {

QFont windowFont();

}  // namespace korvex::ui
