#include "ui/qt/main_window.h"

#include "app/about_text.h"
#include "app/control_texts.h"
#include "app/main_form.h"
#include "app/window_menu.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/input_test_window.h"
#include "ui/qt/window_font.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>

#include <array>
#include <map>

namespace korvex::ui {

namespace {

using app::ControlKind;
using app::ControlRow;

QRect pixels(const app::Twips& rect) {
    constexpr int k = app::kTwipsPerPixel;
    return {rect.left / k, rect.top / k, rect.width / k, rect.height / k};
}

QLabel* makeLabel(const ControlRow& row, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(row.caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A box for a value read from the board: the edit-field background, the normal window text.
QLabel* makeValueBox(const ControlRow& row, QWidget* parent) {
    QLabel* label = makeLabel(row, parent);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Base);
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QComboBox* makeList(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    takeWheelOnlyWithFocus(combo);
    return combo;
}

QWidget* makeLine(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setAutoFillBackground(true);
    line->setBackgroundRole(QPalette::Mid);
    return line;
}

QWidget* makeWidget(const ControlRow& row, QWidget* parent) {
    switch (row.kind) {
    case ControlKind::Frame: return new CaptionFrame(QString::fromUtf8(row.caption), parent);
    case ControlKind::Label: return makeLabel(row, parent);
    case ControlKind::ValueBox: return makeValueBox(row, parent);
    case ControlKind::List: return makeList(parent);
    case ControlKind::CheckBox: return new ToggleBox(QString::fromUtf8(row.caption), parent);
    case ControlKind::Line: return makeLine(parent);
    case ControlKind::Timer: break;
    }
    return nullptr;
}

// What a screen reader calls the control and what it says about it; the same words as a tooltip
// where a pointer resting there should explain the control.
void describe(QWidget* widget, const ControlRow& row) {
    if (row.accessibleName.empty()) return;
    widget->setAccessibleName(QString::fromUtf8(row.accessibleName));
    widget->setAccessibleDescription(QString::fromUtf8(row.description));
    if (row.tooltip) widget->setToolTip(QString::fromUtf8(row.description));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), timer_(app::mainForm().timerInterval) {
    build();
    addMenu();
}

MainWindow::~MainWindow() = default;

void MainWindow::build() {
    const app::FormTable& form = app::mainForm();
    setObjectName(QString::fromUtf8(form.name));
    setWindowTitle(QString::fromUtf8(form.title));
    setWindowIcon(appIcon());
    setFont(windowFont());
    setFixedSize(pixels(form.client).size());

    std::map<std::string, QWidget*, std::less<>> made;
    for (const ControlRow& row : form.controls) {
        QWidget* parent = row.container.empty() ? this : made.at(row.container);
        QWidget* widget = makeWidget(row, parent);
        if (!widget) continue;
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setGeometry(pixels(row.rect));
        // A frame takes its controls' focus away when it stops passing input, so that waits for the Tab chain.
        if (row.kind != ControlKind::Frame) widget->setEnabled(row.enabled);
        describe(widget, row);
        made.emplace(row.name, widget);
    }
    // Each caption is tied to the control it names, so a screen reader names that control by it.
    for (const ControlRow& row : form.controls)
        if (!row.labelFor.empty()) static_cast<QLabel*>(made.at(row.name))->setBuddy(made.at(row.labelFor));
    // Within a container the first row lies on top.
    for (auto row = form.controls.rbegin(); row != form.controls.rend(); ++row)
        if (const auto found = made.find(row->name); found != made.end()) found->second->raise();
    // Only the lists and the check box take the focus, in the table's Tab order.
    QWidget* previous = nullptr;
    for (const ControlRow* row : form.tabOrder()) {
        QWidget* next = made.at(row->name);
        if (previous) setTabOrder(previous, next);
        previous = next;
    }

    // The value boxes that explain the empty serial-number list, by the line each shows.
    std::array<QtLabel*, 3> details{};
    QtList* serialList = nullptr;
    for (const ControlRow& row : form.controls) {
        QWidget* widget = row.kind == ControlKind::Timer ? nullptr : made.at(row.name);
        switch (row.kind) {
        case ControlKind::Frame: {
            auto* frame = static_cast<CaptionFrame*>(widget);
            frame->setInputEnabled(row.enabled);
            app::bind(controls_, row, store_.make<QtFrame>(frame));
            break;
        }
        case ControlKind::Label:
        case ControlKind::ValueBox:
            if (row.role != app::Role::None) {
                auto* label = store_.make<QtLabel>(static_cast<QLabel*>(widget));
                app::bind(controls_, row, label);
                if (row.detailsLine >= 0) details.at(static_cast<std::size_t>(row.detailsLine)) = label;
            }
            break;
        case ControlKind::List: {
            auto* list = store_.make<QtList>(static_cast<QComboBox*>(widget));
            app::bind(controls_, row, list);
            if (row.role == app::Role::SerialList) serialList = list;
            break;
        }
        case ControlKind::CheckBox:
            app::bind(controls_, row, store_.make<QtCheckBox>(static_cast<ToggleBox*>(widget)));
            break;
        case ControlKind::Line: break;
        case ControlKind::Timer: app::bind(controls_, row, &timer_); break;
        }
    }
    // While the serial-number list is empty, the details boxes beside it say why and what to do.
    serialList->onEmptyText([details](const std::string& listText) {
        const app::texts::DetailLines* lines = app::texts::emptyListDetails(listText);
        for (std::size_t k = 0; k < details.size(); ++k)
            if (details[k]) details[k]->setHint(lines ? (*lines)[k] : "");
    });
    controls_.showWindow = [this] { show(); };
}

// The entries are the window's own actions too, so their keys work wherever the focus is in it.
void MainWindow::addMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("WindowMenu"));
    menu_->setAccessibleName(QStringLiteral("Window menu"));
    for (const app::MenuEntry& entry : app::kWindowMenu) {
        auto* action = new QAction(QString::fromUtf8(entry.text), this);
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
        switch (entry.command) {
        case app::MenuCommand::TestInputs:
            testInputs_ = action;
            connect(action, &QAction::triggered, this, [this] {
                if (openInputTest_) openInputTest_();
            });
            break;
        case app::MenuCommand::CopyDiagnostics:
            copyDiagnostics_ = action;
            connect(action, &QAction::triggered, this, &MainWindow::copyDiagnostics);
            break;
        case app::MenuCommand::About: connect(action, &QAction::triggered, this, &MainWindow::showAbout); break;
        }
        addAction(action);
        menu_->addAction(action);
    }
    testInputs_->setEnabled(false);
    copyDiagnostics_->setEnabled(false);
    // Shift+F10 opens the menu as the menu key does, below the control with the focus.
    auto* openMenu = new QAction(this);
    openMenu->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    connect(openMenu, &QAction::triggered, this, [this] {
        QWidget* focus = focusWidget();
        const QPoint at = focus ? focus->mapTo(this, QPoint(0, focus->height())) : QPoint(0, 0);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
        contextMenuEvent(&event);
    });
    addAction(openMenu);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // Opened without waiting for it to close: the window keeps taking the board's results meanwhile.
    menu_->popup(event->globalPos());
    event->accept();
}

void MainWindow::setOpenInputTest(std::function<void()> open) {
    openInputTest_ = std::move(open);
    testInputs_->setEnabled(static_cast<bool>(openInputTest_));
}

void MainWindow::setDiagnostics(std::function<std::string()> gather) {
    diagnostics_.reset();
    if (gather) {
        diagnostics_ = std::make_unique<app::DiagnosticsCopy>(std::move(gather), [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!diagnostics_) return;
                    if (const auto text = diagnostics_->take())
                        QGuiApplication::clipboard()->setText(QString::fromStdString(*text));
                },
                Qt::QueuedConnection);
        });
    }
    copyDiagnostics_->setEnabled(static_cast<bool>(diagnostics_));
}

void MainWindow::copyDiagnostics() {
    if (diagnostics_) diagnostics_->request();
}

void MainWindow::showAbout() {
    if (!about_) {
        const app::AboutText about = app::aboutText(true);
        about_ = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(about.title), QString::fromUtf8(about.text),
                                 QMessageBox::Ok, this);
        about_->setObjectName(QStringLiteral("About"));
        about_->setTextFormat(Qt::PlainText);
        about_->setIconPixmap(windowIcon().pixmap(32, 32));
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->open();
}

void MainWindow::wake() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (wake_) wake_();
        },
        Qt::QueuedConnection);
}

void MainWindow::showInputTest(app::Configurator& configurator) {
    if (!inputTest_) {
        inputTest_ = new InputTestWindow(configurator, this);
        inputTest_->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    inputTest_->show();
    inputTest_->raise();
    inputTest_->activateWindow();
}

void MainWindow::closeInputTest() { delete inputTest_.data(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        closeInputTest();
        if (unload_) unload_();
        // A gathering still waiting on a board is given up, as the configurator's own workers are.
        diagnostics_.reset();
        copyDiagnostics_->setEnabled(false);
    }
    event->accept();
}

}  // namespace korvex::ui
