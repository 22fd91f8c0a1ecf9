#include "ui/browser/BrowserItemDelegate.h"

#include "ui/browser/BrowserRow.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/PlaceholderCell.h"
#include "ui/browser/UploadSizeText.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include "ui/views/BrandProgressBar.h"
#include "ui/views/PlainText.h"
#include "ui/views/SelectionBand.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferTask.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QToolTip>

namespace tarn {
namespace {

constexpr int kIconLeading = 2;
constexpr int kIconGap = 6;
constexpr int kTextLeading = SelectionBand::textLeading;
constexpr int kTextTrailing = SelectionBand::textTrailing;
constexpr qreal kPlaceholderCheckPointSize = 15;
constexpr qreal kPlaceholderButtonPointSize = 13;
constexpr int kEditorHeight = 24;
constexpr qreal kFailedOutlineAlpha = 0.6;
// Set on an editor once its session has ended, so that it ends only once.
constexpr char kEditorEnded[] = "tarnEditorEnded";
constexpr char kEditorFilled[] = "tarnEditorFilled";

BrowserRow::Kind kindOf(const QModelIndex& index)
{
    return static_cast<BrowserRow::Kind>(index.data(BrowserTableModel::RowKindRole).toInt());
}

void drawIcon(QPainter* painter, const QString& iconName, qreal pointSize, const QColor& color, const QRect& box)
{
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = MingCute::pixmap(iconName, pointSize, color, ratio);
    if (!pixmap.isNull()) {
        const QSizeF size = pixmap.deviceIndependentSize();
        painter->drawPixmap(QPointF(box.left() + (box.width() - size.width()) / 2,
                                    box.top() + (box.height() - size.height()) / 2),
                            pixmap);
    }
}

// The placeholder task of a cell's row, whatever its column, or none.
const TransferTask* rowTask(const QModelIndex& index)
{
    if (kindOf(index) != BrowserRow::Kind::uploading) {
        return nullptr;
    }
    const auto* model = qobject_cast<const BrowserTableModel*>(index.model());
    return model != nullptr ? model->task(index.row()) : nullptr;
}

// The placeholder task of a name cell, or none.
const TransferTask* placeholderTask(const QModelIndex& index)
{
    return index.column() == BrowserTableModel::nameColumn ? rowTask(index) : nullptr;
}

// Where a name is drawn in a cell, after its icon.
QRect nameRect(const QRect& cell)
{
    const int left = cell.left() + kIconLeading + BrowserItemDelegate::iconBox + kIconGap;
    return {left, cell.top(), cell.right() - kTextTrailing - left + 1, cell.height()};
}

}  // namespace

BrowserItemDelegate::BrowserItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QSize BrowserItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    return {100, 28};
}

QRect BrowserItemDelegate::paintIconAndName(QPainter* painter, const QStyleOptionViewItem& option,
                                            const QString& iconName, const QColor& iconColor, const QString& name,
                                            const QColor& nameColor) const
{
    const QRect cell = option.rect;
    const QRect box(cell.left() + kIconLeading, cell.top() + (cell.height() - iconBox) / 2, iconBox, iconBox);
    drawIcon(painter, iconName, iconPointSize, iconColor, box);
    const QRect text = nameRect(cell);
    painter->setFont(TarnTheme::font(13));
    painter->setPen(nameColor);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
    return text;
}

void BrowserItemDelegate::paintSecondaryText(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const
{
    const QRect text = option.rect.adjusted(kTextLeading, 0, -kTextTrailing, 0);
    const QString value = index.data(Qt::DisplayRole).toString();
    painter->setFont(TarnTheme::font(13));
    // A failed upload's bytes are in red, as its bar is.
    const TransferTask* task = rowTask(index);
    const bool failedBytes =
        task != nullptr && PlaceholderCell::hasFailed(*task) && index.column() == BrowserTableModel::sizeColumn;
    const ThemeColor color = SelectionBand::isEmphasized(option) ? ThemeColor::selectedText
                             : failedBytes         ? ThemeColor::systemRed
                                                   : ThemeColor::secondaryLabel;
    painter->setPen(TarnTheme::color(color));
    // The bytes of an upload on its way are shortened, never cut at the total.
    const bool inFlight = task != nullptr && index.column() == BrowserTableModel::sizeColumn &&
                          task->state != TransferState::succeeded && task->bytesTotal > 0;
    const QString shown = inFlight ? UploadSizeText::fitted(task->bytesDone, task->bytesTotal,
                                                            painter->fontMetrics(), text.width())
                                   : painter->fontMetrics().elidedText(value, Qt::ElideRight, text.width());
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

void BrowserItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    SelectionBand::paint(painter, option, index);
    const BrowserRow::Kind kind = kindOf(index);
    if (kind == BrowserRow::Kind::uploading) {
        paintPlaceholder(painter, option, index);
        return;
    }
    if (index.column() != BrowserTableModel::nameColumn) {
        paintSecondaryText(painter, option, index);
        return;
    }

    painter->save();
    const bool emphasized = SelectionBand::isEmphasized(option);
    const QColor nameColor = emphasized ? TarnTheme::color(ThemeColor::selectedText) : TarnTheme::color(ThemeColor::label);
    const QColor iconColor =
        emphasized ? TarnTheme::color(ThemeColor::selectedText) : TarnTheme::color(ThemeColor::secondaryLabel);
    const QString name = index.data(Qt::DisplayRole).toString();
    switch (kind) {
    case BrowserRow::Kind::object:
        paintIconAndName(painter, option, QStringLiteral("document_line"), iconColor, name, nameColor);
        break;
    case BrowserRow::Kind::parent:
        paintIconAndName(painter, option, QStringLiteral("arrow.uturn.backward"), iconColor, name, nameColor);
        break;
    case BrowserRow::Kind::folder: {
        // The name, then a smaller, dimmed " /" on the same baseline, lifted by one.
        const QRect text = paintIconAndName(painter, option, QStringLiteral("folder_2_line"), iconColor, name,
                                            nameColor);
        paintFolderSlash(painter, text, name, nameColor, emphasized);
        break;
    }
    case BrowserRow::Kind::uploading:
        break;
    }
    painter->restore();
}

void BrowserItemDelegate::paintFolderSlash(QPainter* painter, const QRect& text, const QString& name,
                                           const QColor& nameColor, bool emphasized) const
{
    const int used = painter->fontMetrics().horizontalAdvance(name);
    if (used >= text.width()) {
        return;
    }
    const int baseline =
        text.top() + (text.height() + painter->fontMetrics().ascent() - painter->fontMetrics().descent()) / 2;
    QColor slash = nameColor;
    slash.setAlphaF(emphasized ? 0.6f : 0.5f * nameColor.alphaF());
    painter->setFont(TarnTheme::font(11));
    painter->setPen(slash);
    painter->drawText(QPoint(text.left() + used, baseline - 1), QStringLiteral(" /"));
}

void BrowserItemDelegate::paintPlaceholder(QPainter* painter, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    const TransferTask* task = placeholderTask(index);
    if (task == nullptr) {
        paintSecondaryText(painter, option, index);
        return;
    }
    painter->save();
    const PlaceholderCell cell = PlaceholderCell::make(*task, option.rect);
    const bool done = cell.look == PlaceholderCell::Look::succeeded;
    const bool emphasized = SelectionBand::isEmphasized(option);
    const QColor nameColor = emphasized ? TarnTheme::color(ThemeColor::selectedText)
                             : done     ? TarnTheme::color(ThemeColor::label)
                                        : TarnTheme::color(ThemeColor::secondaryLabel);
    const QColor iconColor = emphasized ? TarnTheme::color(ThemeColor::selectedText)
                             : done     ? TarnTheme::color(ThemeColor::secondaryLabel)
                                        : TarnTheme::color(ThemeColor::tertiaryLabel);

    QStyleOptionViewItem nameOption = option;
    nameOption.rect.setRight(cell.trailingStart - PlaceholderCell::nameGap + kTextTrailing);
    const QString name = index.data(Qt::DisplayRole).toString();
    const QRect text = paintIconAndName(painter, nameOption,
                                        task->isFolder ? QStringLiteral("folder_2_line")
                                                       : QStringLiteral("document_line"),
                                        iconColor, name, nameColor);
    if (task->isFolder) {
        paintFolderSlash(painter, text, name, nameColor, emphasized);
    }

    if (!cell.counter.isEmpty()) {
        painter->setFont(TarnTheme::font(11));
        painter->setPen(emphasized ? TarnTheme::color(ThemeColor::selectedText)
                                   : TarnTheme::color(ThemeColor::tertiaryLabel));
        painter->drawText(cell.counterRect, Qt::AlignRight | Qt::AlignVCenter, cell.counter);
    }
    if (cell.showsBar) {
        if (cell.look == PlaceholderCell::Look::failed) {
            // Red even when nothing was sent: the track is outlined in red too.
            BrandProgressBar::paint(*painter, cell.barRect, cell.fraction, TarnTheme::color(ThemeColor::systemRed),
                                    TarnTheme::color(ThemeColor::systemRed, kFailedOutlineAlpha));
        } else {
            BrandProgressBar::paint(*painter, cell.barRect, cell.fraction, TarnTheme::brand());
        }
    }
    if (cell.showsCheck) {
        drawIcon(painter, QStringLiteral("checkmark.circle"), kPlaceholderCheckPointSize, TarnTheme::brand(),
                 cell.checkRect);
    }
    if (cell.showsButtons) {
        const QColor buttonColor = TarnTheme::color(ThemeColor::label);
        drawIcon(painter, QStringLiteral("arrow.clockwise"), kPlaceholderButtonPointSize, buttonColor,
                 cell.retryRect);
        drawIcon(painter, QStringLiteral("xmark.circle"), kPlaceholderButtonPointSize, buttonColor,
                 cell.removeRect);
    }
    painter->restore();
}

bool BrowserItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                      const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const TransferTask* task = placeholderTask(index);
    if (task == nullptr) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const PlaceholderCell cell = PlaceholderCell::make(*task, option.rect);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (!cell.showsButtons || mouse->button() != Qt::LeftButton ||
        (!cell.retryRect.contains(at) && !cell.removeRect.contains(at))) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    // A press on a button selects nothing; its release acts.
    if (type == QEvent::MouseButtonRelease) {
        const Uuid id = task->id;
        const std::function<void(const Uuid&)>& action = cell.retryRect.contains(at) ? onRetryTask : onRemoveTask;
        if (action) {
            action(id);
        }
    }
    return true;
}

QString BrowserItemDelegate::toolTipAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& at,
                                       QRect* area) const
{
    *area = option.rect;
    QStringList lines;
    QRect name = nameRect(option.rect);
    if (const TransferTask* task = rowTask(index)) {
        if (const TransferTask* named = placeholderTask(index)) {
            const PlaceholderCell cell = PlaceholderCell::make(*named, option.rect);
            if (cell.showsButtons && (cell.retryRect.contains(at) || cell.removeRect.contains(at))) {
                const bool retry = cell.retryRect.contains(at);
                *area = retry ? cell.retryRect : cell.removeRect;
                return L10n::t(retry ? QStringLiteral("retry") : QStringLiteral("cancel"));
            }
            name.setRight(cell.trailingStart - PlaceholderCell::nameGap);
        }
        if (PlaceholderCell::hasFailed(*task)) {
            lines.append(PlaceholderCell::failureReason(*task));
        }
    }
    // A name cut short is shown whole.
    if (index.column() == BrowserTableModel::nameColumn) {
        const QString shown = index.data(Qt::DisplayRole).toString();
        if (QFontMetrics(TarnTheme::font(13)).horizontalAdvance(shown) > name.width()) {
            lines.prepend(shown);
        }
    }
    return PlainText::toolTip(lines.join(QLatin1Char('\n')));
}

bool BrowserItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                    const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QRect area;
    const QString tip = toolTipAt(option, index, event->pos(), &area);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(event->globalPos(), tip, view, area);
    }
    return true;
}

QWidget* BrowserItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    auto* editor = new QLineEdit(parent);
    editor->setFont(TarnTheme::font(13));
    editor->setFrame(true);
    // A field of its own over the row's selection band: its own opaque base, the
    // accent behind the selected part of the name; the caret (the style's, in the
    // text's colour) and the room between the text and the focus ring are every
    // field's.
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Base, TarnTheme::color(ThemeColor::controlBackground));
    palette.setColor(QPalette::Text, TarnTheme::over(TarnTheme::color(ThemeColor::label),
                                                     TarnTheme::color(ThemeColor::controlBackground)));
    palette.setColor(QPalette::Highlight, TarnTheme::color(ThemeColor::controlAccent));
    palette.setColor(QPalette::HighlightedText, TarnTheme::color(ThemeColor::textOnAccent));
    editor->setPalette(palette);
    auto* self = const_cast<BrowserItemDelegate*>(this);
    // Typed or pasted: a name is one piece of a key and never holds a slash.
    connect(editor, &QLineEdit::textEdited, self, [self, editor](const QString& text) {
        if (!text.contains(QLatin1Char('/'))) {
            return;
        }
        const int before = static_cast<int>(text.left(editor->cursorPosition()).count(QLatin1Char('/')));
        const int cursor = editor->cursorPosition() - before;
        QString cleaned = text;
        cleaned.remove(QLatin1Char('/'));
        editor->setText(cleaned);
        editor->setCursorPosition(cursor);
        if (self->onSlashRefused) {
            self->onSlashRefused();
        }
    });
    // Closed by the table itself (its rows rebuilt, another row made current): the
    // session ends as a cancel.
    connect(editor, &QObject::destroyed, self, [self](QObject* gone) {
        if (!gone->property(kEditorEnded).toBool() && self->onRenameCancelled) {
            self->onRenameCancelled();
        }
    });
    return editor;
}

void BrowserItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // Filled once: a redraw of the row (its task's progress) must not undo typing.
    auto* field = qobject_cast<QLineEdit*>(editor);
    if (field == nullptr || field->property(kEditorFilled).toBool()) {
        return;
    }
    field->setProperty(kEditorFilled, true);
    field->setText(index.data(Qt::EditRole).toString());
}

void BrowserItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    // A rename is a transfer, started by whoever handles onRenameCommitted.
    Q_UNUSED(editor)
    Q_UNUSED(model)
    Q_UNUSED(index)
}

void BrowserItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                               const QModelIndex& index) const
{
    Q_UNUSED(index)
    const QRect cell = option.rect;
    const int left = cell.left() + kIconLeading + iconBox + kIconGap - 3;
    editor->setGeometry(left, cell.top() + (cell.height() - kEditorHeight) / 2,
                        std::max(40, cell.right() - kTextTrailing - left), kEditorHeight);
}

void BrowserItemDelegate::endEditing(QLineEdit* editor, bool commit)
{
    if (editor->property(kEditorEnded).toBool()) {
        return;
    }
    editor->setProperty(kEditorEnded, true);
    if (commit) {
        if (onRenameCommitted) {
            onRenameCommitted(editor->text());
        }
    } else if (onRenameCancelled) {
        onRenameCancelled();
    }
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool BrowserItemDelegate::eventFilter(QObject* watched, QEvent* event)
{
    auto* editor = qobject_cast<QLineEdit*>(watched);
    if (editor == nullptr) {
        return QStyledItemDelegate::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            endEditing(editor, true);
            return true;
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            endEditing(editor, false);
            return true;
        default:
            return false;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        // The field's own menu, or another window coming to the front, keep the edit.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            !editor->property(kEditorEnded).toBool()) {
            endEditing(editor, false);
        }
        return false;
    }
    return false;
}

}  // namespace tarn
