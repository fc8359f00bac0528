#include "ui/qt/main_window.h"

#include "app/control_texts.h"
#include "app/main_form.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/window_font.h"

#include <QCloseEvent>

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

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), timer_(app::mainForm().timerInterval) { build(); }

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

void MainWindow::wake() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (wake_) wake_();
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        if (unload_) unload_();
    }
    event->accept();
}

}  // namespace korvex::ui
