// GoogleTest main for the window tests: the process is per-monitor DPI aware, as the program's
// manifest makes it.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
