// frmMain: the configurator's one window on plain Win32, laid out absolutely in twips (15 to a
// pixel at 96 DPI, scaled with the window's DPI), with the adapters the window's logic reaches
// through app::FormControls. Each control can be found by its name in the window (Frame1, SerNo,
// Enc1 ... Enc8, Label6 ... Label13, NoJoy, Line1 ...).
#pragma once

#include "app/configurator.h"
#include "app/diagnostics_copy.h"
#include "app/form_controls.h"
#include "app/main_form.h"
#include "ui/win32/accessible_control.h"
#include "ui/win32/input_test_window.h"
#include "ui/win32/top_level.h"
#include "ui/win32/win32_controls.h"

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace korvex::ui {

class MainWindow final {
public:
    // Creates the window hidden; the logic's start() shows it.
    MainWindow();
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    app::FormControls& controls() { return controls_; }
    HWND handle() const { return window_; }
    // The control with this name, or nullptr.
    HWND control(std::string_view name) const;
    // Runs once, when the window is closed (the window's Unload); the window is destroyed after it.
    void onUnload(std::function<void()> handler) { unload_ = std::move(handler); }
    // wake() may be called from any thread; the handler then runs on the window's thread.
    void onWake(std::function<void()> handler) { wake_ = std::move(handler); }
    void wake() const;
    UINT dpi() const { return dpi_; }

    // The system menu's "Test inputs..." entry opens what this gives; it is greyed while none is set.
    void setOpenInputTest(std::function<void()> open);
    // Opens the input test window beside this one for `configurator`'s board, or brings it to the
    // front; closeInputTest() closes it. It must be closed before the configurator goes.
    void showInputTest(app::Configurator& configurator);
    void closeInputTest();
    // The input test window while it is open, or nullptr.
    InputTestWindow* inputTest() const { return inputTest_ && inputTest_->open() ? inputTest_.get() : nullptr; }
    // "Copy diagnostics" puts on the clipboard what `gather` returns, called on a worker thread;
    // the entry is greyed while none is set.
    void setDiagnostics(std::function<std::string()> gather);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    // Places every control and sizes the client area for this DPI, with a font to match.
    void applyDpi(UINT dpi, const RECT* suggested);
    // One tooltip window for the lists and the check box, with the form's texts.
    void addTooltips();
    // The tooltip of a control; `text` replaces the form's text, "" gives it back.
    void setTooltip(const app::ControlRow& row, const std::string& text);
    // Names each control for screen readers, with the role of its kind.
    void nameControls();
    // Our entries at the end of the system menu, below a separator.
    void addMenuEntries();
    void enableMenuEntry(UINT id, bool enabled);
    // WM_SYSCOMMAND for one of our entries: false for the system's own.
    bool runMenuEntry(UINT id);
    void copyDiagnostics();
    void showAbout();

    // First, so that COM outlives the controls' accessible objects.
    ComApartment com_;
    HWND window_ = nullptr;
    HWND tooltips_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    std::map<std::string, HWND, std::less<>> named_;
    app::ControlStore store_;  // the adapters behind controls_
    std::unique_ptr<Win32Timer> timer_;
    app::FormControls controls_;
    std::function<void()> unload_;
    std::function<void()> wake_;
    bool unloaded_ = false;
    FocusMemory focus_;
    std::function<void()> openInputTest_;
    std::unique_ptr<app::DiagnosticsCopy> diagnostics_;
    // Last, so that it goes before everything it is shown beside.
    std::unique_ptr<InputTestWindow> inputTest_;
};

}  // namespace korvex::ui
