#include "ui/browser/BrowserHeader.h"

#include "ui/browser/GlassSearchField.h"
#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/WrappingLabel.h"

#include "app/text/L10n.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace tarn {

BrowserHeader::BrowserHeader(QWidget* parent)
    : QWidget(parent)
    , m_title(new WrappingLabel(QString(), 1, this))
    , m_usage(new WrappingLabel(QString(), 1, this))
    , m_search(new GlassSearchField(this))
{
    setFixedHeight(headerHeight);
    m_title->setFont(TarnTheme::font(18));
    m_title->setColor(TarnTheme::color(ThemeColor::label));
    m_usage->setFont(TarnTheme::font(12));
    m_usage->setColor(TarnTheme::color(ThemeColor::secondaryLabel));
    for (WrappingLabel* label : {m_title, m_usage}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        label->setSizePolicy(policy);
    }

    auto* names = new QVBoxLayout();
    names->setContentsMargins(0, 0, 0, 0);
    names->setSpacing(4);
    names->addStretch(1);
    names->addWidget(m_title);
    names->addWidget(m_usage);
    names->addStretch(1);

    m_search->setPlaceholderText(L10n::t(QStringLiteral("search")));
    m_search->setFixedWidth(collapsedSearchWidth);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(16);
    row->addLayout(names, 1);
    row->addWidget(m_search, 0, Qt::AlignVCenter);
}

void BrowserHeader::setSearchExpanded(bool expanded)
{
    const int target = expanded ? expandedSearchWidth : collapsedSearchWidth;
    if (m_searchWidth != nullptr) {
        m_searchWidth->stop();
    }
    if (m_search->width() == target && m_search->minimumWidth() == target) {
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(m_search->width());
    animation->setEndValue(target);
    animation->setDuration(searchAnimationMilliseconds);
    animation->setEasingCurve(QEasingCurve::Linear);
    connect(animation, &QVariantAnimation::valueChanged, m_search,
            [search = m_search](const QVariant& width) { search->setFixedWidth(width.toInt()); });
    m_searchWidth = animation;
    connect(animation, &QObject::destroyed, this, [this, animation] {
        if (m_searchWidth == animation) {
            m_searchWidth = nullptr;
        }
    });
    Animations::start(animation);
}

}  // namespace tarn
