#include "ui/qt/input_test_window.h"

#include "ui/qt/app_icon.h"
#include "ui/qt/window_font.h"

#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextCursor>

namespace korvex::ui {

namespace {

using app::TestPart;

QRect pixels(const app::Twips& rect) {
    constexpr int k = app::kTwipsPerPixel;
    return {rect.left / k, rect.top / k, rect.width / k, rect.height / k};
}

QLabel* makeLamp(const app::TestRow& row, QWidget* parent) {
    auto* lamp = new QLabel(QString::fromUtf8(row.caption), parent);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lamp->setAutoFillBackground(true);
    return lamp;
}

QWidget* makePart(const app::TestRow& row, QWidget* parent) {
    switch (row.part) {
    case TestPart::PairGroup: return new QGroupBox(parent);
    case TestPart::Lamp:
    case TestPart::ForwardArrow:
    case TestPart::BackArrow: return makeLamp(row, parent);
    case TestPart::Status:
    case TestPart::Count:
    case TestPart::Pulses:
    case TestPart::Glitches: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case TestPart::ResetButton:
    case TestPart::CopyButton: return new QPushButton(QString::fromUtf8(row.caption), parent);
    case TestPart::Log: {
        auto* log = new QPlainTextEdit(parent);
        log->setReadOnly(true);
        log->setLineWrapMode(QPlainTextEdit::NoWrap);
        return log;
    }
    }
    return nullptr;
}

}  // namespace

InputTestWindow::InputTestWindow(app::Configurator& configurator, QWidget* beside) : QWidget(beside, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    fade_.setInterval(50);
    connect(&fade_, &QTimer::timeout, this, [this] { refresh(); });
    test_ = std::make_unique<app::InputTest>(configurator, [this] { refresh(); });
    refresh();
}

// The test stops reading before the widgets it shows go.
InputTestWindow::~InputTestWindow() { test_.reset(); }

void InputTestWindow::build() {
    const app::TestFormTable& form = app::inputTestForm();
    setObjectName(QString::fromUtf8(form.name));
    setWindowIcon(appIcon());
    setFont(windowFont());
    setFixedSize(pixels(form.client).size());
    QWidget* previous = nullptr;
    for (const app::TestRow& row : form.rows) {
        QWidget* widget = makePart(row, this);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setGeometry(pixels(row.rect));
        widget->setFocusPolicy(row.tabPosition == app::kNoTab ? Qt::NoFocus : Qt::StrongFocus);
        if (!row.accessibleName.empty()) widget->setAccessibleName(QString::fromUtf8(row.accessibleName));
        parts_.push_back({&row, widget});
        if (row.part == TestPart::Log) log_ = static_cast<QPlainTextEdit*>(widget);
        if (row.part == TestPart::ResetButton)
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this, [this] { test_->reset(); });
        if (row.part == TestPart::CopyButton)
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                    [this] { QGuiApplication::clipboard()->setText(log_->toPlainText()); });
        if (row.tabPosition != app::kNoTab) {
            if (previous) setTabOrder(previous, widget);
            previous = widget;
        }
    }
    // Groups are made first and would lie under what they hold otherwise.
    for (const Part& part : parts_)
        if (part.row->part == TestPart::PairGroup) part.widget->lower();
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void InputTestWindow::showLit(QWidget* widget, bool lit) {
    widget->setBackgroundRole(lit ? QPalette::Highlight : QPalette::Button);
    widget->setForegroundRole(lit ? QPalette::HighlightedText : QPalette::ButtonText);
}

void InputTestWindow::refresh() {
    // The test tells of the board it finds while it is being made, before test_ holds it.
    if (!test_) return;
    const auto now = InputClock::now();
    const app::InputTestShown shown = test_->shown(now);
    setWindowTitle(QString::fromUtf8(shown.title));
    for (const Part& part : parts_) {
        const app::TestRow& row = *part.row;
        const QString text = QString::fromUtf8(app::textOf(row, shown));
        const QString name = QString::fromUtf8(app::accessibleNameOf(row, shown));
        if (part.widget->accessibleName() != name) part.widget->setAccessibleName(name);
        switch (row.part) {
        case TestPart::PairGroup: static_cast<QGroupBox*>(part.widget)->setTitle(text); break;
        case TestPart::Lamp:
        case TestPart::ForwardArrow:
        case TestPart::BackArrow:
            showLit(part.widget, app::litOf(row, shown));
            // An arrow means nothing for a pair of plain buttons.
            if (row.part != TestPart::Lamp)
                part.widget->setVisible(shown.pairs[static_cast<std::size_t>(row.pair - 1)].encoder);
            break;
        case TestPart::Status:
        case TestPart::Count:
        case TestPart::Pulses:
        case TestPart::Glitches: {
            auto* label = static_cast<QLabel*>(part.widget);
            if (label->text() != text) label->setText(text);
            break;
        }
        case TestPart::ResetButton:
        case TestPart::CopyButton: part.widget->setEnabled(shown.board); break;
        case TestPart::Log:
            if (log_->toPlainText() != text) {
                log_->setPlainText(text);
                // The newest event in view: the cursor at the end brings it there once laid out.
                log_->moveCursor(QTextCursor::End);
                log_->ensureCursorVisible();
            }
            break;
        }
    }
    if (test_->arrowsLit(now)) fade_.start();
    else fade_.stop();
}

}  // namespace korvex::ui
