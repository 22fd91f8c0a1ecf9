#pragma once

#include <QColor>
#include <QIconEngine>
#include <QString>

namespace tarn {

// Draws one glyph at whatever size and pixel ratio a control asks for, in the
// tint it was made with; disabled icons are drawn fainter.
class MingCuteIconEngine : public QIconEngine {
public:
    MingCuteIconEngine(QString resource, QColor color);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    QColor colorFor(QIcon::Mode mode) const;

    QString m_resource;
    QColor m_color;
};

}  // namespace tarn
