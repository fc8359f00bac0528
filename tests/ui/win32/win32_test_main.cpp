// GoogleTest main for the window tests. They need an X display under wine: without one every test
// fails, so a run that could not show the window never passes for one that did.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

class DisplayRequired final : public testing::Environment {
public:
    void SetUp() override {
        wchar_t display[64] = {};
        const DWORD length = GetEnvironmentVariableW(L"DISPLAY", display, static_cast<DWORD>(std::size(display)));
        ASSERT_TRUE(length > 0 && length < std::size(display)) << "no DISPLAY: run the window tests on an X server (Xvfb)";
    }
};

}  // namespace

int main(int argc, char** argv) {
    // As the manifest of the program asks.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new DisplayRequired);
    return RUN_ALL_TESTS();
}
