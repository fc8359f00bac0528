// frmMain: the configurator's one window, laid out absolutely in twips (15 to a pixel), with the
// Qt adapters that the window's logic reaches through app::FormControls. Each control's object name is
// its name in the window (Frame1, SerNo, Enc1 ... Enc8, Label6 ... Label13, NoJoy, Line1 ...).
#pragma once

#include "app/form_controls.h"
#include "ui/qt/qt_controls.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

namespace korvex::ui {

class MainWindow final : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    app::FormControls& controls() { return controls_; }
    // Runs once, when the user closes the window (the window's Unload).
    void onUnload(std::function<void()> handler) { unload_ = std::move(handler); }
    // wake() may be called from any thread; the handler then runs on the window's thread.
    void onWake(std::function<void()> handler) { wake_ = std::move(handler); }
    void wake();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();

    app::ControlStore store_;  // the adapters behind controls_
    QtTimer timer_;
    app::FormControls controls_;
    std::function<void()> unload_;
    std::function<void()> wake_;
    bool unloaded_ = false;
};

}  // namespace korvex::ui
