#pragma once

#include <QAbstractButton>

namespace tarn {

// One of the inspector's action tiles: an icon over a short title, the whole tile the
// click target. A destructive tile (delete) is drawn in red. Every title is set at the
// same size; one too long for its tile wraps onto a second line, and what still does
// not fit ends in an ellipsis. The tiles of a row put their icons on one line: where
// one title wraps, every icon of the row moves up with its icon.
class ActionTile : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int tileHeight = 52;

    ActionTile(const QString& title, const QString& iconName, bool destructive, QWidget* parent = nullptr);

    QString iconName() const { return m_iconName; }
    bool isDestructive() const { return m_destructive; }

    // The lines the title is drawn in, for a tile of `width` pixels.
    QStringList titleLines(int width) const;
    // Where the icon is drawn: at the same height in every tile of the row.
    QRect iconRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The most lines a title of this tile's row is drawn in.
    int rowLineCount() const;
    // The distance from one title line to the next, for titles of `lines` lines.
    int lineStep(int lines) const;
    // Where the icon sits when the row's titles take `lines` lines.
    QRect iconRect(int lines) const;

    QString m_iconName;
    bool m_destructive;
    bool m_hovered = false;
};

}  // namespace tarn
