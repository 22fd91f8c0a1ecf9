#include "ui/inspector/MiddleElidedLabel.h"

#include "ui/views/PlainText.h"

#include <QEvent>
#include <QFontMetrics>

namespace tarn {

MiddleElidedLabel::MiddleElidedLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
    , m_fullText(text)
{
    PlainText::apply(this);
    setWordWrap(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize MiddleElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_fullText) + 2, metrics.height()};
}

QSize MiddleElidedLabel::minimumSizeHint() const
{
    return {0, QFontMetrics(font()).height()};
}

void MiddleElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void MiddleElidedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        elide();
    }
}

void MiddleElidedLabel::elide()
{
    const QString shown = QFontMetrics(font()).elidedText(m_fullText, Qt::ElideMiddle, contentsRect().width());
    if (shown != text()) {
        setText(shown);
    }
    setToolTip(shown == m_fullText ? QString() : PlainText::toolTip(m_fullText));
}

}  // namespace tarn
