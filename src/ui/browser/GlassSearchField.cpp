#include "ui/browser/GlassSearchField.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QAction>
#include <QKeyEvent>
#include <QPainter>

namespace tarn {

GlassSearchField::GlassSearchField(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setClearButtonEnabled(true);
    setFixedHeight(fieldHeight);
    setFont(TarnTheme::font(13));
    setTextMargins(2, 0, 2, 0);
    addAction(MingCute::icon(QStringLiteral("magnifyingglass"), TarnTheme::color(ThemeColor::secondaryLabel)),
              QLineEdit::LeadingPosition);
    // The glass is painted here; the field itself draws no background.
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    setPalette(clear);
    setAttribute(Qt::WA_MacShowFocusRect, false);
}

namespace {

bool isPlainEscape(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Escape && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

bool GlassSearchField::event(QEvent* event)
{
    // Escape is the field's while it has the keys, whatever shortcut the window has.
    if (event->type() == QEvent::ShortcutOverride && isPlainEscape(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void GlassSearchField::keyPressEvent(QKeyEvent* event)
{
    if (!isPlainEscape(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!text().isEmpty()) {
        selectAll();
        del();
    } else if (onLeave) {
        onLeave();
    }
}

void GlassSearchField::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(TarnTheme::color(ThemeColor::separator), 0.5));
        painter.setBrush(TarnTheme::color(ThemeColor::textBackground, 0.4));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
    QLineEdit::paintEvent(event);
}

void GlassSearchField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (onFocusChange) {
        onFocusChange(true);
    }
}

void GlassSearchField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (onFocusChange) {
        onFocusChange(false);
    }
}

}  // namespace tarn
