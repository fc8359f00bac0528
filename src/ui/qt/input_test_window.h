// The input test window: the board the main window shows, live. Built by walking the test
// window's description (app/input_test_form.h); what each part shows comes from app::InputTest.
// It writes nothing to the board.
#pragma once

#include "app/configurator.h"
#include "app/input_test.h"
#include "app/input_test_form.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QPlainTextEdit;

namespace korvex::ui {

class InputTestWindow final : public QWidget {
    Q_OBJECT

public:
    // A window of its own beside `beside`, reading `configurator`'s board until it is closed.
    InputTestWindow(app::Configurator& configurator, QWidget* beside);
    ~InputTestWindow() override;

    // What the window shows now, as app::InputTest says it.
    app::InputTestShown shown() const { return test_->shown(); }

private:
    struct Part {
        const app::TestRow* row;
        QWidget* widget;
    };
    void build();
    void refresh();
    void showLit(QWidget* widget, bool lit);

    std::vector<Part> parts_;
    QPlainTextEdit* log_ = nullptr;
    QTimer fade_;  // puts lit arrows out once their moment has passed
    std::unique_ptr<app::InputTest> test_;
};

}  // namespace korvex::ui
