#include "ui/theme/LineEditCaret.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTimerEvent>

#include <algorithm>

namespace tarn {
namespace {

constexpr int kCaretWidth = 1;
// Qt reports a line edit's cursor rectangle from 5 pixels before the caret to 4
// past it (a test holds this against Qt's own caret).
constexpr int kRectLead = 5;

}  // namespace

LineEditCaret::LineEditCaret(QLineEdit* edit)
    : QObject(edit)
    , m_edit(edit)
{
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::cursorPositionChanged, this, &LineEditCaret::restart);
    connect(edit, &QLineEdit::textChanged, this, &LineEditCaret::restart);
    connect(edit, &QLineEdit::selectionChanged, this, &LineEditCaret::restart);
    connect(QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this, &LineEditCaret::restart);
    restart();
}

QRect LineEditCaret::caretRect(const QLineEdit& edit)
{
    const QRect around = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return QRect(around.left() + kRectLead, around.top(), kCaretWidth, std::max(0, around.height() - 1));
}

bool LineEditCaret::isShown() const
{
    return m_on && wanted();
}

bool LineEditCaret::wanted() const
{
    if (!m_edit->hasFocus() || m_edit->isReadOnly() || !m_edit->inputMask().isEmpty()) {
        return false;
    }
    if (!m_edit->hasSelectedText()) {
        return true;
    }
    QStyleOptionFrame option;
    option.initFrom(m_edit);
    return m_edit->style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected, &option, m_edit) != 0;
}

void LineEditCaret::restart()
{
    m_on = wanted();
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (m_on && flashTime > 0) {
        m_blink.start(flashTime / 2, this);
    } else {
        m_blink.stop();
    }
    refresh();
}

void LineEditCaret::refresh()
{
    const QRect now = isShown() ? caretRect(*m_edit) : QRect();
    if (!m_drawn.isNull()) {
        m_edit->update(m_drawn);
    }
    if (!now.isNull()) {
        m_edit->update(now);
    }
    m_drawn = now;
}

void LineEditCaret::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_blink.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    if (!wanted()) {
        m_blink.stop();
        m_on = false;
    } else {
        m_on = !m_on;
    }
    refresh();
}

bool LineEditCaret::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_edit) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::ReadOnlyChange:
    case QEvent::Show:
    case QEvent::Hide:
        // The field already has (or has lost) the focus, the flag, its visibility.
        restart();
        break;
    case QEvent::Paint: {
        // The field paints itself first (its own caret has no width), then the caret
        // goes over its text and selection.
        static_cast<QObject*>(m_edit)->event(event);
        if (isShown()) {
            m_drawn = caretRect(*m_edit);
            QPainter painter(m_edit);
            painter.fillRect(m_drawn, m_edit->palette().color(QPalette::Text));
        }
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tarn
