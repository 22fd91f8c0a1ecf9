#pragma once

#include <QWidget>

class QVariantAnimation;

namespace tarn {

class GlassSearchField;
class WrappingLabel;

// The bar above the object table: the bucket's name over its usage line on the left,
// and the search field on the right, which widens from 110 to 220 pixels while it is
// being edited and narrows again when editing ends, text or not.
class BrowserHeader : public QWidget {
    Q_OBJECT

public:
    static constexpr int headerHeight = 72;
    static constexpr int collapsedSearchWidth = 110;
    static constexpr int expandedSearchWidth = 220;
    static constexpr int searchAnimationMilliseconds = 130;

    explicit BrowserHeader(QWidget* parent = nullptr);

    WrappingLabel* titleLabel() const { return m_title; }
    WrappingLabel* usageLabel() const { return m_usage; }
    GlassSearchField* searchField() const { return m_search; }

    // Animates the search field to its wide or narrow width.
    void setSearchExpanded(bool expanded);

private:
    WrappingLabel* m_title;
    WrappingLabel* m_usage;
    GlassSearchField* m_search;
    QVariantAnimation* m_searchWidth = nullptr;
};

}  // namespace tarn
