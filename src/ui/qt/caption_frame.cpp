#include "ui/qt/caption_frame.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QPainter>

namespace korvex::ui {

namespace {

constexpr int kCaptionIndent = 6;   // caption starts this far in from the frame's left edge
constexpr int kCaptionPadding = 2;  // gap between the border line and the caption text

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::FocusIn:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove: return true;
    default: return false;
    }
}

// A screen reader meets the frame as a named group around its controls, as it would a group box.
QAccessibleInterface* accessibleFrame(const QString& /*className*/, QObject* object) {
    auto* frame = qobject_cast<CaptionFrame*>(object);
    return frame ? new QAccessibleWidget(frame, QAccessible::Grouping) : nullptr;
}

}  // namespace

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleFrame), true);
    (void)factoryInstalled;
    setFocusPolicy(Qt::NoFocus);
}

void CaptionFrame::setInputEnabled(bool enabled) {
    if (enabled == inputEnabled_) return;
    inputEnabled_ = enabled;
    const auto inner = findChildren<QWidget*>();
    if (!enabled) {
        for (QWidget* child : inner) {
            child->installEventFilter(this);
            if (auto* list = qobject_cast<QComboBox*>(child)) list->hidePopup();
            if (child->hasFocus()) child->clearFocus();
            if (child->focusPolicy() != Qt::NoFocus) {
                heldFocus_.emplace_back(child, child->focusPolicy());
                child->setFocusPolicy(Qt::NoFocus);
            }
        }
    } else {
        for (QWidget* child : inner) child->removeEventFilter(this);
        for (const auto& [child, policy] : heldFocus_) {
            if (child) child->setFocusPolicy(policy);
        }
        heldFocus_.clear();
    }
    update();
}

bool CaptionFrame::eventFilter(QObject* watched, QEvent* event) {
    if (!inputEnabled_ && isInput(event->type())) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineY = metrics.height() / 2;

    // An etched border: a shadow line with a light line just inside it, the caption on the top edge.
    const QRect box(0, lineY, width() - 2, height() - lineY - 2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.translated(1, 1));

    const int textWidth = metrics.horizontalAdvance(caption_);
    const QRect textRect(kCaptionIndent, 0, textWidth + 2 * kCaptionPadding, metrics.height());
    painter.fillRect(textRect, palette().color(QPalette::Window));
    const QPalette::ColorGroup group = inputEnabled_ ? QPalette::Active : QPalette::Disabled;
    painter.setPen(palette().color(group, QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignCenter, caption_);
}

}  // namespace korvex::ui
