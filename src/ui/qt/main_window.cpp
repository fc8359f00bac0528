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
using app::ControlSpec;

QRect pixels(const app::Twips& rect) {
    constexpr int k = app::kTwipsPerPixel;
    return {rect.left / k, rect.top / k, rect.width / k, rect.height / k};
}

QLabel* makeLabel(const ControlSpec& spec, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(spec.caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A box for a value read from the board: the edit-field background, the normal window text.
QLabel* makeValueBox(const ControlSpec& spec, QWidget* parent) {
    QLabel* label = makeLabel(spec, parent);
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

QWidget* makeWidget(const ControlSpec& spec, QWidget* parent) {
    switch (spec.kind) {
    case ControlKind::Frame: return new CaptionFrame(QString::fromUtf8(spec.caption), parent);
    case ControlKind::Label: return makeLabel(spec, parent);
    case ControlKind::ValueBox: return makeValueBox(spec, parent);
    case ControlKind::List: return makeList(parent);
    case ControlKind::CheckBox: return new ToggleBox(QString::fromUtf8(spec.caption), parent);
    case ControlKind::Line: return makeLine(parent);
    case ControlKind::Timer: break;
    }
    return nullptr;
}

// What a screen reader calls the control and what it says about it; the same words as a tooltip
// where a pointer resting there should explain the control.
void describe(QWidget* widget, const ControlSpec& spec) {
    if (spec.accessibleName.empty()) return;
    widget->setAccessibleName(QString::fromUtf8(spec.accessibleName));
    widget->setAccessibleDescription(QString::fromUtf8(spec.description));
    if (spec.tooltip) widget->setToolTip(QString::fromUtf8(spec.description));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), timer_(app::mainForm().timerInterval) { build(); }

MainWindow::~MainWindow() = default;

void MainWindow::build() {
    const app::FormSpec& form = app::mainForm();
    setObjectName(QString::fromUtf8(form.name));
    setWindowTitle(QString::fromUtf8(form.title));
    setWindowIcon(appIcon());
    setFont(windowFont());
    setFixedSize(pixels(form.client).size());

    std::map<std::string, QWidget*, std::less<>> made;
    for (const ControlSpec& spec : form.controls) {
        QWidget* parent = spec.container.empty() ? this : made.at(spec.container);
        QWidget* widget = makeWidget(spec, parent);
        if (!widget) continue;
        widget->setObjectName(QString::fromUtf8(spec.name));
        widget->setGeometry(pixels(spec.rect));
        // A frame takes its controls' focus away when it stops passing input, so that waits for the Tab chain.
        if (spec.kind != ControlKind::Frame) widget->setEnabled(spec.enabled);
        describe(widget, spec);
        made.emplace(spec.name, widget);
    }
    // Each caption is tied to the control it names, so a screen reader names that control by it.
    for (const ControlSpec& spec : form.controls)
        if (!spec.labelFor.empty()) static_cast<QLabel*>(made.at(spec.name))->setBuddy(made.at(spec.labelFor));
    // Within a container the first row lies on top.
    for (auto spec = form.controls.rbegin(); spec != form.controls.rend(); ++spec)
        if (const auto found = made.find(spec->name); found != made.end()) found->second->raise();
    // Only the lists and the check box take the focus, in the table's Tab order.
    QWidget* previous = nullptr;
    for (const ControlSpec* spec : form.tabOrder()) {
        QWidget* next = made.at(spec->name);
        if (previous) setTabOrder(previous, next);
        previous = next;
    }

    // The value boxes that explain the empty serial-number list, by the line each shows.
    std::array<QtLabel*, 3> details{};
    QtList* serialList = nullptr;
    for (const ControlSpec& spec : form.controls) {
        QWidget* widget = spec.kind == ControlKind::Timer ? nullptr : made.at(spec.name);
        switch (spec.kind) {
        case ControlKind::Frame: {
            auto* frame = static_cast<CaptionFrame*>(widget);
            frame->setInputEnabled(spec.enabled);
            app::bind(controls_, spec, store_.make<QtFrame>(frame));
            break;
        }
        case ControlKind::Label:
        case ControlKind::ValueBox:
            if (spec.role != app::Role::None) {
                auto* label = store_.make<QtLabel>(static_cast<QLabel*>(widget));
                app::bind(controls_, spec, label);
                if (spec.detailsLine >= 0) details.at(static_cast<std::size_t>(spec.detailsLine)) = label;
            }
            break;
        case ControlKind::List: {
            auto* list = store_.make<QtList>(static_cast<QComboBox*>(widget));
            app::bind(controls_, spec, list);
            if (spec.role == app::Role::SerialList) serialList = list;
            break;
        }
        case ControlKind::CheckBox:
            app::bind(controls_, spec, store_.make<QtCheckBox>(static_cast<ToggleBox*>(widget)));
            break;
        case ControlKind::Line: break;
        case ControlKind::Timer: app::bind(controls_, spec, &timer_); break;
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
