#include "ui/views/DotBubbleView.h"

#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/WrappingLabel.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace tarn {
namespace {

constexpr int kGapAboveAnchor = 6;
constexpr int kEdgeInset = 4;

}  // namespace

DotBubbleView* DotBubbleView::show(const QString& text, QWidget* anchor, QWidget* fallback)
{
    QWidget* host = (anchor != nullptr && anchor->parentWidget() != nullptr) ? anchor->window() : fallback;
    if (host == nullptr) {
        return nullptr;
    }
    // One bubble per host: the old one vanishes at once, without a fade.
    for (auto* old : host->findChildren<DotBubbleView*>(QString(), Qt::FindDirectChildrenOnly)) {
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
    }

    auto* bubble = new DotBubbleView(text, host);
    bubble->place(anchor, fallback);
    bubble->QWidget::show();
    bubble->raise();
    Animations::setOpacity(bubble, 0);
    Animations::fade(bubble, 1.0, fadeInMs);
    QTimer::singleShot(lifetimeMs, bubble, [bubble] {
        Animations::fade(bubble, 0.0, fadeOutMs, [target = QPointer<DotBubbleView>(bubble)] {
            if (target) {
                target->hide();
                target->deleteLater();
            }
        });
    });
    return bubble;
}

DotBubbleView::DotBubbleView(const QString& text, QWidget* host)
    : TintedBlurView(0.95, host)
{
    setCornerRadius(8);
    setBorderColor(TarnTheme::color(ThemeColor::hairlineBorder));
    auto* label = new WrappingLabel(text, 1, this);
    label->setFont(TarnTheme::font(11));
    label->setColor(TarnTheme::color(ThemeColor::label));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 5, 10, 5);
    layout->addWidget(label);
}

QString DotBubbleView::text() const
{
    const auto* label = findChild<WrappingLabel*>();
    return label != nullptr ? label->text() : QString();
}

void DotBubbleView::place(QWidget* anchor, QWidget* pane)
{
    QWidget* host = parentWidget();
    // The room across: the pane's, when it is part of the host; else the host's.
    int left = 0;
    int right = host->width();
    if (pane != nullptr && pane != host && host->isAncestorOf(pane) && pane->isVisible()) {
        const QPoint origin = pane->mapTo(host, QPoint(0, 0));
        left = std::max(0, origin.x());
        right = std::min(host->width(), origin.x() + pane->width());
    }
    const int maxWidth = std::max(0, right - left - 2 * kEdgeInset);
    const QSize hint = sizeHint();
    const int width = std::min(hint.width(), maxWidth);
    const int height = hint.height();
    int centreX = (left + right) / 2;
    int anchorTop = host->height();
    if (anchor != nullptr) {
        const QPoint topCentre = host->mapFromGlobal(anchor->mapToGlobal(QPoint(anchor->width() / 2, 0)));
        centreX = topCentre.x();
        anchorTop = topCentre.y();
    }
    // Centred over the anchor, but never cut off by the pane's (or window's) edge.
    const int x = std::clamp(centreX - width / 2, left + kEdgeInset,
                             std::max(left + kEdgeInset, right - kEdgeInset - width));
    const int y = std::max(kEdgeInset, anchorTop - kGapAboveAnchor - height);
    setGeometry(x, y, width, height);
}

}  // namespace tarn
