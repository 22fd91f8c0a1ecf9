#pragma once

#include <QImage>
#include <QMargins>
#include <QWidget>

namespace tarn {

// Holds a sheet and paints its soft shadow. A widget cannot paint outside its
// bounds, so the container is larger than the sheet by the shadow's reach
// (shadowMargins) and keeps the sheet inset by that much; the shadow area takes no
// presses, which reach the overlay beneath and dismiss the sheet there.
class SheetShadowContainer : public QWidget {
    Q_OBJECT

public:
    explicit SheetShadowContainer(qreal cornerRadius, QWidget* parent = nullptr);

    qreal cornerRadius() const { return m_cornerRadius; }
    // Puts the sheet inside, filling the container less the margins.
    void setSheet(QWidget* sheet);
    QWidget* sheet() const { return m_sheet; }

    static QMargins shadowMargins();
    // Whether a point of the container lies in the shadow rather than on the sheet.
    bool isShadowAt(const QPoint& point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage renderShadow(const QSize& size) const;

    qreal m_cornerRadius;
    QWidget* m_sheet = nullptr;
    QImage m_shadow;
};

}  // namespace tarn
