// Resource identifiers shared by the resource script and the window.
#pragma once

#define KORVEX_ICON 1
