#include "ui/sheets/SheetView.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/PlainText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

#include <utility>

namespace tarn {

SheetView::SheetView(QWidget* parent)
    : SheetView(tintAlpha, parent)
{
}

SheetView::SheetView(qreal tint, QWidget* parent)
    : TintedBlurView(tint, parent)
{
    // The sheet takes the focus only when the presenter gives it; a click on its
    // background leaves the focus where it is (in a text field, typically).
    setFocusPolicy(Qt::NoFocus);
}

void SheetView::setDefaultButton(QPushButton* button, bool accented)
{
    if (m_defaultButton) {
        m_defaultButton->setDefault(false);
    }
    m_defaultButton = button;
    if (button != nullptr) {
        button->setDefault(accented);
    }
}

QLabel* SheetView::makeTitle(const QString& text)
{
    return makeLabel(text, 18, false);
}

QLabel* SheetView::makeLabel(const QString& text, int pixelSize, bool secondary, QWidget* parent)
{
    auto* label = new QLabel(text, parent != nullptr ? parent : this);
    label->setFont(TarnTheme::font(pixelSize));
    PlainText::apply(label);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, TarnTheme::color(secondary ? ThemeColor::secondaryLabel : ThemeColor::label));
    label->setPalette(palette);
    return label;
}

QPushButton* SheetView::makeButton(const QString& title, std::function<void()> action)
{
    auto* button = new ClosureButton(title, std::move(action), this);
    // Buttons never take the focus from the sheet's field; Return and Escape reach
    // them through the sheet.
    button->setFocusPolicy(Qt::TabFocus);
    button->setAutoDefault(false);
    return button;
}

void SheetView::styleAddButton(QPushButton* button)
{
    button->setIcon(MingCute::icon(QStringLiteral("plus.circle"), TarnTheme::color(ThemeColor::label)));
    button->setIconSize(MingCute::iconSize(13));
    button->setFlat(true);
    button->setFont(TarnTheme::font(12));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
}

QBoxLayout* SheetView::makeButtonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addStretch(1);
    for (QPushButton* button : buttons) {
        row->addWidget(button);
    }
    return row;
}

void SheetView::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (isReturn && modifiers == Qt::NoModifier) {
        // The button the keyboard is on is pressed, as in any dialog here: Return on
        // Cancel cancels. The default button takes Return from anywhere else.
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (focused != nullptr && isAncestorOf(focused) && focused->isEnabled() && focused->isVisibleTo(this)) {
            focused->click();
        } else if (m_defaultButton && m_defaultButton->isEnabled() && m_defaultButton->isVisibleTo(this)) {
            m_defaultButton->click();
        }
        // Return belongs to the sheet even while its default action is unavailable.
        event->accept();
        return;
    }
    TintedBlurView::keyPressEvent(event);
}

}  // namespace tarn
