// A captioned group frame whose disabled state greys only its caption and keeps input from the
// controls inside it. Those controls keep their own enabled state and their look, so a list that
// is enabled inside a disabled frame still reads as enabled; it just cannot be reached.
#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>
#include <vector>

namespace korvex::ui {

class CaptionFrame final : public QWidget {
    Q_OBJECT

public:
    CaptionFrame(const QString& caption, QWidget* parent);

    QString caption() const { return caption_; }
    bool inputEnabled() const { return inputEnabled_; }
    void setInputEnabled(bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString caption_;
    bool inputEnabled_ = true;
    // Focus policies of the inner controls, taken away while the frame is disabled so that Tab
    // passes them by, as it passes disabled controls.
    std::vector<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> heldFocus_;
};

}  // namespace korvex::ui
