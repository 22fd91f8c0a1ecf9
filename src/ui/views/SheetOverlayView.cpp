#include "ui/views/SheetOverlayView.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/SheetShadowContainer.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tarn {

SheetOverlayView::SheetOverlayView(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    if (parent != nullptr) {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }
}

bool SheetOverlayView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void SheetOverlayView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), TarnTheme::color(ThemeColor::overlayDim));
}

void SheetOverlayView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SheetOverlayView::mousePressEvent(QMouseEvent* event)
{
    // Presses that a sheet's own widgets do not take arrive here too: only one on
    // no child at all, or on a sheet's shadow, is a press on the dimmed area.
    const QPoint point = event->position().toPoint();
    QWidget* hit = childAt(point);
    auto* shadow = qobject_cast<SheetShadowContainer*>(hit);
    if (hit == nullptr || (shadow != nullptr && shadow->isShadowAt(shadow->mapFrom(this, point)))) {
        dismiss();
    }
    event->accept();
}

void SheetOverlayView::dismiss()
{
    if (m_onDismiss) {
        m_onDismiss();
    }
}

}  // namespace tarn
