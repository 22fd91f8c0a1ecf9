#include "ui/views/SegmentedControl.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QAction>
#include <QActionEvent>
#include <QCursor>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QToolTip>

namespace tarn {

SegmentedControl::SegmentedControl(const QList<QAction*>& actions, QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    addActions(actions);
}

int SegmentedControl::segmentCount() const
{
    return static_cast<int>(actions().size());
}

QAction* SegmentedControl::segmentAction(int segment) const
{
    const QList<QAction*> list = actions();
    return segment >= 0 && segment < list.size() ? list[segment] : nullptr;
}

QRect SegmentedControl::segmentRect(int segment) const
{
    return {segment * segmentWidth, (height() - controlHeight) / 2, segmentWidth, controlHeight};
}

int SegmentedControl::segmentAt(const QPoint& point) const
{
    for (int segment = 0; segment < segmentCount(); ++segment) {
        if (segmentRect(segment).contains(point)) {
            return segment;
        }
    }
    return -1;
}

QSize SegmentedControl::sizeHint() const
{
    return {segmentCount() * segmentWidth, controlHeight};
}

QSize SegmentedControl::minimumSizeHint() const
{
    return sizeHint();
}

bool SegmentedControl::isSegmentEnabled(int segment) const
{
    const QAction* action = segmentAction(segment);
    return isEnabled() && action != nullptr && action->isEnabled();
}

bool SegmentedControl::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int segment = segmentAt(help->pos());
        if (const QAction* action = segmentAction(segment); action != nullptr && !action->toolTip().isEmpty()) {
            QToolTip::showText(help->globalPos(), action->toolTip(), this, segmentRect(segment));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void SegmentedControl::actionEvent(QActionEvent* event)
{
    // Added, removed or changed (icon, enabled state): the segments are drawn anew.
    QWidget::actionEvent(event);
    if (event->type() != QEvent::ActionChanged) {
        updateGeometry();
    }
    if (m_pressed >= segmentCount()) {
        m_pressed = -1;
    }
    update();
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int count = segmentCount();
    if (count == 0) {
        return;
    }
    const QRectF frame = QRectF(segmentRect(0).topLeft(), segmentRect(count - 1).bottomRight() + QPoint(1, 1))
                             .adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.fillPath(shape, TarnTheme::color(ThemeColor::controlFill));

    // A segment that is switched on, under the pointer or being pressed is lighter,
    // within the rounded shape.
    painter.save();
    painter.setClipPath(shape);
    for (int segment = 0; segment < count; ++segment) {
        const QAction* action = segmentAction(segment);
        if (action->isCheckable() && action->isChecked()) {
            painter.fillRect(segmentRect(segment), TarnTheme::color(ThemeColor::controlHoverFill));
        }
    }
    for (const int segment : {m_hovered, m_pressed}) {
        if (isSegmentEnabled(segment)) {
            const bool pressed = segment == m_pressed;
            painter.fillRect(segmentRect(segment),
                             TarnTheme::color(pressed ? ThemeColor::controlPressedFill : ThemeColor::controlHoverFill));
        }
    }
    painter.restore();

    painter.setPen(QPen(TarnTheme::color(ThemeColor::hairlineBorder), 1));
    painter.drawPath(shape);
    painter.setPen(QPen(TarnTheme::color(ThemeColor::separator), 1));
    for (int segment = 1; segment < count; ++segment) {
        const qreal x = segmentRect(segment).left() + 0.5;
        painter.drawLine(QPointF(x, frame.top() + 6), QPointF(x, frame.bottom() - 6));
    }

    const QSize iconSize = MingCute::iconSize(iconPointSize);
    for (int segment = 0; segment < count; ++segment) {
        const QAction* action = segmentAction(segment);
        const QRect box = segmentRect(segment);
        const QRect square(box.x() + (box.width() - iconSize.width()) / 2,
                           box.y() + (box.height() - iconSize.height()) / 2, iconSize.width(), iconSize.height());
        action->icon().paint(&painter, square, Qt::AlignCenter,
                             isSegmentEnabled(segment) ? QIcon::Normal : QIcon::Disabled);
    }
}

void SegmentedControl::setHovered(int segment)
{
    if (segment != m_hovered) {
        m_hovered = segment;
        update();
    }
}

void SegmentedControl::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(segmentAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void SegmentedControl::leaveEvent(QEvent* event)
{
    setHovered(-1);
    QWidget::leaveEvent(event);
}

void SegmentedControl::mousePressEvent(QMouseEvent* event)
{
    const int segment = segmentAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !isSegmentEnabled(segment)) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = segment;
    update();
    // A menu opens on the press, as a pull-down button's does.
    if (segmentAction(segment)->menu() != nullptr) {
        openMenu(segment);
    }
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = m_pressed;
    if (pressed < 0 || segmentAction(pressed)->menu() != nullptr) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = -1;
    update();
    // Released elsewhere: the click is abandoned.
    if (event->button() == Qt::LeftButton && segmentAt(event->position().toPoint()) == pressed &&
        isSegmentEnabled(pressed)) {
        segmentAction(pressed)->trigger();
    }
}

void SegmentedControl::openMenu(int segment)
{
    QMenu* menu = segmentAction(segment)->menu();
    connect(menu, &QMenu::aboutToHide, this, [control = QPointer<SegmentedControl>(this)] {
        if (control) {
            control->m_pressed = -1;
            // The pointer went on into the menu: the control heard of no leaving, so
            // the segment under it now is looked up afresh.
            const QPoint pointer = control->mapFromGlobal(QCursor::pos());
            control->m_hovered = control->rect().contains(pointer) ? control->segmentAt(pointer) : -1;
            control->update();
        }
    }, Qt::SingleShotConnection);
    menu->popup(mapToGlobal(segmentRect(segment).bottomLeft() + QPoint(0, 4)));
}

}  // namespace tarn
