#pragma once

#include <QHeaderView>

namespace tarn {

// A table header that draws only its titles: no background, no bevels, no
// separators, so the table's surface shows through. Without sections it draws
// nothing at all.
class ClearTableHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit ClearTableHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace tarn
