#include "ui/browser/BreadcrumbBar.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/PlainText.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

namespace tarn {
namespace {

constexpr qreal kCrumbIconSize = 11;
constexpr qreal kChevronSize = 9;
constexpr int kSpacing = 3;

}  // namespace

BreadcrumbBar::BreadcrumbBar(QWidget* parent)
    : QWidget(parent)
    , m_strip(new QWidget(this))
    , m_layout(new QHBoxLayout(m_strip))
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFixedHeight(barHeight);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(kSpacing);
    // The strip follows its crumbs' width whenever they change (new crumbs are sized
    // only once they are polished and shown).
    m_strip->installEventFilter(this);
}

bool BreadcrumbBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_strip && event->type() == QEvent::LayoutRequest) {
        placeStrip();
    }
    return QWidget::eventFilter(watched, event);
}

void BreadcrumbBar::setItems(const std::vector<PathItem>& items)
{
    // The same path keeps its crumbs (the header is refreshed far more often than
    // the folder changes).
    if (items == m_items) {
        return;
    }
    m_items = items;
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QColor tint = TarnTheme::color(ThemeColor::secondaryLabel);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            auto* chevron = new IconView(QStringLiteral("chevron.right"), kChevronSize,
                                         TarnTheme::color(ThemeColor::tertiaryLabel), m_strip);
            chevron->setObjectName(QStringLiteral("chevron"));
            m_layout->addWidget(chevron, 0, Qt::AlignVCenter);
        }
        auto* crumb = new QToolButton(m_strip);
        crumb->setText(QStringLiteral(" ") + PlainText::buttonText(items[i].title));
        crumb->setIcon(MingCute::icon(i == 0 ? QStringLiteral("storage_fill") : QStringLiteral("folder"), tint));
        crumb->setIconSize(MingCute::iconSize(kCrumbIconSize));
        crumb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        crumb->setAutoRaise(true);
        crumb->setFont(TarnTheme::font(11));
        crumb->setCursor(Qt::PointingHandCursor);
        crumb->setFocusPolicy(Qt::NoFocus);
        crumb->setFixedHeight(barHeight - 2);
        QPalette palette = crumb->palette();
        palette.setColor(QPalette::ButtonText, tint);
        crumb->setPalette(palette);
        const int index = static_cast<int>(i);
        connect(crumb, &QToolButton::clicked, this, [this, index] { emit crumbClicked(index); });
        m_layout->addWidget(crumb, 0, Qt::AlignVCenter);
    }
    m_layout->activate();
    placeStrip();
}

QList<QToolButton*> BreadcrumbBar::crumbs() const
{
    QList<QToolButton*> result;
    for (int i = 0; i < m_layout->count(); ++i) {
        if (auto* crumb = qobject_cast<QToolButton*>(m_layout->itemAt(i)->widget())) {
            result.push_back(crumb);
        }
    }
    return result;
}

int BreadcrumbBar::chevronCount() const
{
    return m_layout->count() - static_cast<int>(crumbs().size());
}

QSize BreadcrumbBar::sizeHint() const
{
    return {m_layout->sizeHint().width(), barHeight};
}

QSize BreadcrumbBar::minimumSizeHint() const
{
    return {0, barHeight};
}

void BreadcrumbBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeStrip();
}

void BreadcrumbBar::placeStrip()
{
    // The strip keeps its own width and the bar clips it.
    m_strip->setGeometry(0, 0, m_layout->sizeHint().width(), height());
    updateGeometry();
}

}  // namespace tarn
