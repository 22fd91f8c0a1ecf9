#include "ui/inspector/MiddleElidedLabel.h"

#include "app/text/L10n.h"
#include "ui/views/PlainText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <array>
#include <optional>

namespace tarn {
namespace {

// Where a middle cut put its mark: the shown text is the value's first `at`
// characters, the mark of `length` characters, and the value's last ones.
struct Cut {
    qsizetype at = 0;
    qsizetype length = 0;
};

std::optional<Cut> findCut(const QString& shown, const QString& full)
{
    // The font's ellipsis, or three dots where the font has none.
    static const std::array<QString, 2> marks{QString(QChar(0x2026)), QStringLiteral("...")};
    for (const QString& mark : marks) {
        for (qsizetype at = shown.indexOf(mark); at >= 0; at = shown.indexOf(mark, at + 1)) {
            const qsizetype tail = shown.size() - at - mark.size();
            if (tail >= 0 && shown.left(at) == full.left(at) && shown.right(tail) == full.right(tail)) {
                return Cut{at, mark.size()};
            }
        }
    }
    return std::nullopt;
}

}  // namespace

MiddleElidedLabel::MiddleElidedLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
    , m_fullText(text)
{
    PlainText::apply(this);
    setWordWrap(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize MiddleElidedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_fullText) + 2, metrics.height()};
}

QSize MiddleElidedLabel::minimumSizeHint() const
{
    return {0, QFontMetrics(font()).height()};
}

void MiddleElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void MiddleElidedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        elide();
    }
}

void MiddleElidedLabel::elide()
{
    const QString shown = QFontMetrics(font()).elidedText(m_fullText, Qt::ElideMiddle, contentsRect().width());
    if (shown != text()) {
        setText(shown);
    }
    setToolTip(shown == m_fullText ? QString() : PlainText::toolTip(m_fullText));
}

QString MiddleElidedLabel::selectedValue() const
{
    const QString shown = text();
    const qsizetype start = selectionStart();
    const qsizetype end = start + selectedText().size();
    if (start < 0 || end <= start) {
        return {};
    }
    const std::optional<Cut> cut = findCut(shown, m_fullText);
    if (!cut) {
        return m_fullText == shown ? m_fullText.mid(start, end - start) : selectedText();
    }
    // Either end inside the mark takes in the whole hidden part.
    const qsizetype shift = m_fullText.size() - shown.size();
    const qsizetype markEnd = cut->at + cut->length;
    const qsizetype from = start >= markEnd ? start + shift : std::min(start, cut->at);
    const qsizetype to = end <= cut->at ? end : std::max(end, markEnd) + shift;
    return m_fullText.mid(from, to - from);
}

void MiddleElidedLabel::copy()
{
    QGuiApplication::clipboard()->setText(hasSelectedText() ? selectedValue() : m_fullText);
}

void MiddleElidedLabel::selectAll()
{
    setSelection(0, static_cast<int>(text().size()));
    offerSelection();
}

void MiddleElidedLabel::offerSelection() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && hasSelectedText()) {
        clipboard->setText(selectedValue(), QClipboard::Selection);
    }
}

void MiddleElidedLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void MiddleElidedLabel::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    connect(menu.addAction(L10n::t(QStringLiteral("copy"))), &QAction::triggered, this, &MiddleElidedLabel::copy);
    menu.exec(event->globalPos());
    event->accept();
}

void MiddleElidedLabel::mousePressEvent(QMouseEvent* event)
{
    // A press inside a selection would drag the shown text, "…" and all, out of the
    // label: a press always starts a new selection instead.
    if (event->button() == Qt::LeftButton && hasSelectedText()) {
        setSelection(0, 0);
    }
    QLabel::mousePressEvent(event);
}

void MiddleElidedLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    // The text control offered the shown text on release; the value replaces it.
    offerSelection();
}

}  // namespace tarn
