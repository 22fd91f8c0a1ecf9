#pragma once

#include "core/values/Uuid.h"

#include <QStyledItemDelegate>

#include <functional>

class QLineEdit;

namespace tarn {

class BrowserTableModel;

// Paints the cells of the object table: a folder or file icon and the name (a
// folder's with a smaller, dimmed " /", the parent row's ".." without), and the size
// and date in the secondary colour. A selected row is one rounded band across its
// cells, bright while the table has the focus in the active window. Placeholder rows
// of uploads and renames go through paintPlaceholder(), which a subclass may replace;
// their retry and remove buttons are clicked through the delegate (onRetryTask,
// onRemoveTask). A failed one is drawn in red (its bar and its bytes) and tells why
// it failed as its tooltip.
//
// The name editor of an inline rename is a plain field over the name. It never writes
// into the model: Return or Enter hands its text to onRenameCommitted; Escape, Tab and
// the focus moving elsewhere in the window give onRenameCancelled (leaving the field
// does not commit, unlike Qt's default); either closes it. A "/" typed or pasted is
// taken out at once and onSlashRefused is told.
class BrowserItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int iconBox = 17;
    static constexpr qreal iconPointSize = 14;

    explicit BrowserItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    std::function<void(const Uuid&)> onRetryTask;
    std::function<void(const Uuid&)> onRemoveTask;
    std::function<void(const QString& name)> onRenameCommitted;
    std::function<void()> onRenameCancelled;
    std::function<void()> onSlashRefused;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // The tooltip at a point of a cell, as plain text, and the area it stands for: a
    // placeholder's button says what it does; a failed upload's row says why it
    // failed; a name cut short is given whole. Empty for none.
    QString toolTipAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& at,
                      QRect* area) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    // One cell of a placeholder row. This one draws the title with a dimmed icon, the
    // bytes sent of the total and the finishing date.
    virtual void paintPlaceholder(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const;

    // The icon at the cell's leading edge and the name after it; the rectangle the
    // name was given.
    QRect paintIconAndName(QPainter* painter, const QStyleOptionViewItem& option, const QString& iconName,
                           const QColor& iconColor, const QString& name, const QColor& nameColor) const;
    void paintSecondaryText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // The smaller, dimmed " /" after a folder's name drawn in `text`.
    void paintFolderSlash(QPainter* painter, const QRect& text, const QString& name, const QColor& nameColor,
                          bool emphasized) const;

private:
    // Ends the editor's session once: tells the browser, then closes it.
    void endEditing(QLineEdit* editor, bool commit);
};

}  // namespace tarn
