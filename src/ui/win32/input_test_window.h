// The input test window on plain Win32: the board the main window shows, live. It builds itself by
// walking the test window's description (app/input_test_form.h), laid out in twips and scaled with
// its DPI as the main window is; what each part shows comes from app::InputTest. It writes nothing
// to the board.
#pragma once

#include "app/configurator.h"
#include "app/input_test.h"
#include "app/input_test_form.h"
#include "ui/win32/accessible_control.h"
#include "ui/win32/top_level.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::ui {

class InputTestWindow final {
public:
    // Shows the window with its top-left corner at `at`, reading `configurator`'s board until it is
    // closed. The configurator must outlive it.
    InputTestWindow(app::Configurator& configurator, POINT at);
    ~InputTestWindow();
    InputTestWindow(const InputTestWindow&) = delete;
    InputTestWindow& operator=(const InputTestWindow&) = delete;

    HWND handle() const { return window_; }
    // Until a person closes it (Escape, Alt+F4, its close button); it reads nothing after.
    bool open() const { return test_ != nullptr && IsWindow(window_) != FALSE; }
    // The control with this name in the test window's description, or nullptr.
    HWND control(std::string_view name) const;
    // Shows it in front of the other windows, restored if it was minimised.
    void bringToFront();

private:
    // A part of the description, its control and what it was last given, so that only changes
    // reach the control (a static repainted 100 times a second flickers).
    struct Part {
        const app::TestRow* row;
        HWND control;
        std::wstring text;
        int lit = -1;
    };
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    void applyDpi(UINT dpi, const POINT* at);
    void refresh();
    void showText(Part& part, std::wstring text);
    void showLog(Part& part, std::wstring text);
    void copyLog();
    void close();

    // First, so that COM outlives the controls' accessible objects.
    ComApartment com_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    std::vector<Part> parts_;
    HWND reset_ = nullptr, copy_ = nullptr, log_ = nullptr;
    FocusMemory focus_;
    std::wstring title_;
    bool fading_ = false;  // the timer that puts lit arrows out runs
    std::unique_ptr<app::InputTest> test_;
};

}  // namespace korvex::ui
