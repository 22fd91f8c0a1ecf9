#include "ui/views/WrappingLabel.h"

#include "ui/theme/TarnTheme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tarn {

WrappingLabel::WrappingLabel(const QString& text, int maximumLines, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_maximumLines(std::max(1, maximumLines))
    , m_color(TarnTheme::color(ThemeColor::label))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrappingLabel::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

void WrappingLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

QStringList WrappingLabel::visibleLines(int width) const
{
    QStringList lines;
    if (m_text.isEmpty() || width <= 0) {
        return lines;
    }
    const QFontMetrics metrics(font());
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        if (lines.size() + 1 == m_maximumLines) {
            // The last line allowed takes the rest of the text, cut to fit.
            const QString rest = m_text.mid(line.textStart()).simplified();
            lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(m_text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

QSize WrappingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(m_text))) + 1;
    return {width, heightForWidth(width)};
}

QSize WrappingLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 4, metrics.height()};
}

int WrappingLabel::heightForWidth(int width) const
{
    const QFontMetrics metrics(font());
    const auto lines = static_cast<int>(std::max<qsizetype>(1, visibleLines(width).size()));
    return lines * metrics.lineSpacing() - metrics.leading();
}

void WrappingLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const QStringList lines = visibleLines(width());
    const int textHeight = static_cast<int>(lines.size()) * metrics.lineSpacing() - metrics.leading();
    int y = std::max(0, (height() - textHeight) / 2) + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(0, y, line);
        y += metrics.lineSpacing();
    }
}

void WrappingLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

}  // namespace tarn
