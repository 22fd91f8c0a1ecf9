#include "ui/browser/BreadcrumbBar.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/PlainText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include <algorithm>

namespace tarn {
namespace {

constexpr qreal kCrumbIconSize = 11;
constexpr qreal kChevronSize = 9;
constexpr int kSpacing = 3;

QToolButton* makeCrumb(const QString& text, const QString& iconName, QWidget* parent)
{
    const QColor tint = TarnTheme::color(ThemeColor::secondaryLabel);
    auto* crumb = new QToolButton(parent);
    crumb->setText(text);
    if (!iconName.isEmpty()) {
        crumb->setIcon(MingCute::icon(iconName, tint));
        crumb->setIconSize(MingCute::iconSize(kCrumbIconSize));
        crumb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
        crumb->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    crumb->setAutoRaise(true);
    crumb->setFont(TarnTheme::font(11));
    crumb->setCursor(Qt::PointingHandCursor);
    crumb->setFocusPolicy(Qt::NoFocus);
    crumb->setFixedHeight(BreadcrumbBar::barHeight - 2);
    QPalette palette = crumb->palette();
    palette.setColor(QPalette::ButtonText, tint);
    crumb->setPalette(palette);
    return crumb;
}

QWidget* makeChevron(const QString& name, QWidget* parent)
{
    auto* chevron = new IconView(QStringLiteral("chevron.right"), kChevronSize,
                                 TarnTheme::color(ThemeColor::tertiaryLabel), parent);
    chevron->setObjectName(name);
    return chevron;
}

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
    m_ellipsis = nullptr;
    m_ellipsisChevron = nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            m_layout->addWidget(makeChevron(QStringLiteral("chevron"), m_strip), 0, Qt::AlignVCenter);
        }
        const QString title = PlainText::buttonText(items[i].title);
        auto* crumb = makeCrumb(QStringLiteral(" ") + title,
                                i == 0 ? QStringLiteral("storage_fill") : QStringLiteral("folder"), m_strip);
        crumb->setProperty("fullText", crumb->text());
        crumb->setToolTip(PlainText::toolTip(items[i].title));
        const int index = static_cast<int>(i);
        connect(crumb, &QToolButton::clicked, this, [this, index] { emit crumbClicked(index); });
        m_layout->addWidget(crumb, 0, Qt::AlignVCenter);
        if (i == 0 && items.size() > 2) {
            // Right after the root: what stands for the steps folded away.
            m_ellipsisChevron = makeChevron(QStringLiteral("ellipsisChevron"), m_strip);
            m_ellipsis = makeCrumb(QStringLiteral("\u2026"), QString(), m_strip);
            m_ellipsis->setObjectName(QStringLiteral("ellipsis"));
            connect(m_ellipsis, &QToolButton::clicked, this, &BreadcrumbBar::showFoldedMenu);
            m_layout->addWidget(m_ellipsisChevron, 0, Qt::AlignVCenter);
            m_layout->addWidget(m_ellipsis, 0, Qt::AlignVCenter);
            m_ellipsisChevron->hide();
            m_ellipsis->hide();
        }
    }
    m_layout->activate();
    placeStrip();
}

QList<QToolButton*> BreadcrumbBar::crumbs() const
{
    QList<QToolButton*> result;
    for (int i = 0; i < m_layout->count(); ++i) {
        if (auto* crumb = qobject_cast<QToolButton*>(m_layout->itemAt(i)->widget()); crumb != nullptr &&
                                                                                     crumb != m_ellipsis) {
            result.push_back(crumb);
        }
    }
    return result;
}

int BreadcrumbBar::chevronCount() const
{
    int count = 0;
    for (int i = 0; i < m_layout->count(); ++i) {
        if (QWidget* widget = m_layout->itemAt(i)->widget();
            widget != nullptr && widget->objectName() == QLatin1String("chevron")) {
            ++count;
        }
    }
    return count;
}

QList<int> BreadcrumbBar::foldedSteps() const
{
    QList<int> folded;
    const QList<QToolButton*> steps = crumbs();
    for (int i = 0; i < steps.size(); ++i) {
        if (steps[i]->isHidden()) {
            folded.append(i);
        }
    }
    return folded;
}

void BreadcrumbBar::showFoldedMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const int step : foldedSteps()) {
        const QString title = PlainText::buttonText(m_items[static_cast<std::size_t>(step)].title);
        menu->addAction(MingCute::icon(QStringLiteral("folder"), TarnTheme::color(ThemeColor::secondaryLabel)), title,
                        this, [this, step] { emit crumbClicked(step); });
    }
    menu->popup(m_ellipsis->mapToGlobal(QPoint(0, 0)) - QPoint(0, menu->sizeHint().height()));
}

void BreadcrumbBar::fit()
{
    const QList<QToolButton*> steps = crumbs();
    if (steps.isEmpty()) {
        return;
    }
    // The chevron before each step (none before the root).
    QList<QWidget*> chevrons{nullptr};
    for (int i = 0; i < m_layout->count(); ++i) {
        if (QWidget* widget = m_layout->itemAt(i)->widget();
            widget != nullptr && widget->objectName() == QLatin1String("chevron")) {
            chevrons.append(widget);
        }
    }
    // Start from everything shown, whole.
    QToolButton* root = steps.constFirst();
    QToolButton* current = steps.constLast();
    root->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    current->setText(current->property("fullText").toString());
    for (int i = 0; i < steps.size(); ++i) {
        steps[i]->show();
        if (chevrons.value(i) != nullptr) {
            chevrons[i]->show();
        }
    }
    if (m_ellipsis != nullptr) {
        m_ellipsis->hide();
        m_ellipsisChevron->hide();
    }
    const auto used = [&] {
        int total = 0;
        int shown = 0;
        for (int i = 0; i < m_layout->count(); ++i) {
            QWidget* widget = m_layout->itemAt(i)->widget();
            if (widget != nullptr && !widget->isHidden()) {
                total += widget->sizeHint().width();
                ++shown;
            }
        }
        return total + kSpacing * std::max(0, shown - 1);
    };
    const int room = width();
    // The steps between the root and the current folder go first, from the root down.
    for (int i = 1; i + 1 < steps.size() && used() > room; ++i) {
        steps[i]->hide();
        chevrons[i]->hide();
        if (m_ellipsis != nullptr) {
            m_ellipsis->show();
            m_ellipsisChevron->show();
        }
    }
    if (used() > room && steps.size() > 1) {
        root->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    if (const int over = used() - room; over > 0 && steps.size() > 1) {
        const QString full = current->property("fullText").toString();
        const QFontMetrics metrics(current->font());
        const int textRoom = std::max(0, metrics.horizontalAdvance(full) - over);
        current->setText(metrics.elidedText(full, Qt::ElideMiddle, textRoom));
    }
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
    if (m_fitting) {
        return;
    }
    m_fitting = true;
    fit();
    m_layout->activate();
    // The strip keeps its own width and the bar clips what still does not fit.
    m_strip->setGeometry(0, 0, m_layout->sizeHint().width(), height());
    m_fitting = false;
    updateGeometry();
}

}  // namespace tarn
