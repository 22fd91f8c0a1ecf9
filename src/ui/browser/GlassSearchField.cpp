#include "ui/browser/GlassSearchField.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QAction>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

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
    // The shape is painted in paintEvent; the field itself fills nothing (a frameless
    // field would fill its whole square).
    m_fill = palette().color(QPalette::Base);
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
    // The field's shape is every text field's (fill, an edge of at least 3:1, the
    // focus ring), drawn by the style; the field itself has no frame, so that its
    // text starts beside the magnifier rather than a frame's width further in.
    {
        QPainter painter(this);
        QStyleOptionFrame frame;
        initStyleOption(&frame);
        frame.lineWidth = 1;
        frame.midLineWidth = 0;
        frame.features = QStyleOptionFrame::None;
        frame.palette.setColor(QPalette::Base, m_fill);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
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
