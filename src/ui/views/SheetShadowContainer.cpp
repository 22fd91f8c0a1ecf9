#include "ui/views/SheetShadowContainer.h"

#include "ui/theme/TarnTheme.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace tarn {
namespace {

// The shadow lies 14 pixels below the sheet and is spread by three box blurs of
// radius 12 (close to a Gaussian of 12 pixels), which reach 36 pixels out.
constexpr int kBoxRadius = 12;
constexpr int kBlurReach = 3 * kBoxRadius;
constexpr int kOffsetY = 14;

// One pass of a running-sum box blur over rows or columns of an 8-bit alpha image.
void boxBlur(std::vector<int>& values, int width, int height, int radius, bool horizontal)
{
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int window = 2 * radius + 1;
    std::vector<int> line(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> int& {
            return horizontal ? values[static_cast<std::size_t>(l * width + i)]
                              : values[static_cast<std::size_t>(i * width + l)];
        };
        for (int i = 0; i < length; ++i) {
            line[static_cast<std::size_t>(i)] = at(i);
        }
        int sum = 0;
        for (int i = -radius; i <= radius; ++i) {
            sum += (i >= 0 && i < length) ? line[static_cast<std::size_t>(i)] : 0;
        }
        for (int i = 0; i < length; ++i) {
            at(i) = sum / window;
            const int leaving = i - radius;
            const int entering = i + radius + 1;
            sum -= (leaving >= 0) ? line[static_cast<std::size_t>(leaving)] : 0;
            sum += (entering < length) ? line[static_cast<std::size_t>(entering)] : 0;
        }
    }
}

}  // namespace

SheetShadowContainer::SheetShadowContainer(qreal cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(shadowMargins());
    layout->setSpacing(0);
}

void SheetShadowContainer::setSheet(QWidget* sheet)
{
    if (m_sheet != nullptr) {
        layout()->removeWidget(m_sheet);
    }
    m_sheet = sheet;
    if (sheet != nullptr) {
        layout()->addWidget(sheet);
    }
}

QMargins SheetShadowContainer::shadowMargins()
{
    return {kBlurReach, kBlurReach - kOffsetY, kBlurReach, kBlurReach + kOffsetY};
}

bool SheetShadowContainer::isShadowAt(const QPoint& point) const
{
    return rect().contains(point) && !rect().marginsRemoved(shadowMargins()).contains(point);
}

void SheetShadowContainer::resizeEvent(QResizeEvent* event)
{
    m_shadow = QImage();
    QWidget::resizeEvent(event);
}

void SheetShadowContainer::paintEvent(QPaintEvent* event)
{
    if (m_shadow.size() != size()) {
        m_shadow = renderShadow(size());
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), m_shadow, event->rect());
}

QImage SheetShadowContainer::renderShadow(const QSize& size) const
{
    if (size.isEmpty()) {
        return {};
    }
    QImage mask(size, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect().marginsRemoved(shadowMargins())).translated(0, kOffsetY), m_cornerRadius,
                             m_cornerRadius);
        // Only the coverage counts here; the colour is applied after the blur.
        painter.fillPath(shape, TarnTheme::color(ThemeColor::sheetShadow, 1.0));
    }

    const int width = size.width();
    const int height = size.height();
    std::vector<int> values(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const uchar* row = mask.constScanLine(y);
        std::copy(row, row + width, values.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    // Three box passes each way come close to a Gaussian blur.
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(values, width, height, kBoxRadius, true);
        boxBlur(values, width, height, kBoxRadius, false);
    }

    const QColor shadow = TarnTheme::color(ThemeColor::sheetShadow);
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = values[static_cast<std::size_t>(y * width + x)] * shadow.alpha() / 255;
            row[x] = qPremultiply(qRgba(shadow.red(), shadow.green(), shadow.blue(), alpha));
        }
    }
    return result;
}

}  // namespace tarn
