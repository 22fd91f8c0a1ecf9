#include "ui/sheets/SettingsSideItem.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/PlainText.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tarn {

SettingsSideItem::SettingsSideItem(const QString& title, QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(itemHeight);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    m_label = new QLabel(title, this);
    m_label->setFont(TarnTheme::font(13));
    PlainText::apply(m_label);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 10, 0);
    layout->addWidget(m_label, 1, Qt::AlignVCenter);
    setChosen(false);
}

QString SettingsSideItem::title() const
{
    return m_label->text();
}

void SettingsSideItem::setChosen(bool chosen)
{
    m_chosen = chosen;
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, TarnTheme::color(chosen ? ThemeColor::label : ThemeColor::secondaryLabel));
    m_label->setPalette(palette);
    update();
}

void SettingsSideItem::click()
{
    // Copied: choosing may rebuild what holds this item.
    const std::function<void()> onClick = m_onClick;
    if (onClick) {
        onClick();
    }
}

void SettingsSideItem::paintEvent(QPaintEvent*)
{
    const bool ring = hasFocus() && m_keyboardFocus;
    if (!m_chosen && !ring) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    if (m_chosen) {
        painter.fillPath(shape, TarnTheme::color(ThemeColor::selectedSideItem));
    }
    if (ring) {
        painter.setPen(QPen(TarnTheme::color(ThemeColor::controlAccent), 1));
        painter.drawPath(shape);
    }
}

void SettingsSideItem::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void SettingsSideItem::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        click();
    }
    event->accept();
}

void SettingsSideItem::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsSideItem::focusInEvent(QFocusEvent* event)
{
    // The ring shows where the keyboard is, not where the pointer clicked.
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QWidget::focusInEvent(event);
    update();
}

void SettingsSideItem::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

}  // namespace tarn
