#pragma once

#include <QColor>
#include <QIcon>
#include <QWidget>

namespace tarn {

// One icon by name, tinted and centred, drawn sharp at the screen's pixel ratio.
// An icon name without a glyph shows nothing.
class IconView : public QWidget {
    Q_OBJECT

public:
    IconView(const QString& iconName, qreal pointSize, const QColor& color, QWidget* parent = nullptr);

    void setIcon(const QString& iconName, const QColor& color);
    QString iconName() const { return m_iconName; }
    bool hasIcon() const { return !m_icon.isNull(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_iconName;
    qreal m_pointSize;
    QIcon m_icon;
};

}  // namespace tarn
