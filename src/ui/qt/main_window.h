// frmMain: the configurator's one window, laid out absolutely in twips (15 to a pixel), with the
// Qt adapters that the window's logic reaches through app::FormControls. Each control's object name is
// its name in the window (Frame1, SerNo, Enc1 ... Enc8, Label6 ... Label13, NoJoy, Line1 ...).
#pragma once

#include "app/configurator.h"
#include "app/diagnostics_copy.h"
#include "app/form_controls.h"
#include "ui/qt/qt_controls.h"

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
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

    // The menu's "Test inputs..." entry opens what this gives; the entry is disabled while none is set.
    void setOpenInputTest(std::function<void()> open);
    // "Copy diagnostics" puts on the clipboard what `gather` returns, called on a worker thread;
    // the entry is disabled while none is set.
    void setDiagnostics(std::function<std::string()> gather);
    // Opens the input test window beside this one for `configurator`'s board, or brings it to the
    // front; closeInputTest() closes it. It must be closed before the configurator goes.
    void showInputTest(app::Configurator& configurator);
    void closeInputTest();
    QWidget* inputTest() const { return inputTest_; }
    // The window's menu: the right button, the menu key or Shift+F10 opens it at the pointer or the focus.
    QMenu* menu() const { return menu_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void build();
    void addMenu();
    void copyDiagnostics();
    void showAbout();

    app::ControlStore store_;  // the adapters behind controls_
    QtTimer timer_;
    app::FormControls controls_;
    std::function<void()> unload_;
    std::function<void()> wake_;
    bool unloaded_ = false;
    QMenu* menu_ = nullptr;
    QAction* testInputs_ = nullptr;
    QAction* copyDiagnostics_ = nullptr;
    std::function<void()> openInputTest_;
    std::unique_ptr<app::DiagnosticsCopy> diagnostics_;
    QPointer<QMessageBox> about_;
    QPointer<QWidget> inputTest_;
};

}  // namespace korvex::ui
