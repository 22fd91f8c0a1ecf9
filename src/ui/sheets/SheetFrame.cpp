#include "ui/sheets/SheetFrame.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/TintedBlurView.h"

#include <QList>

namespace tarn {

SheetFrame::SheetFrame(QWidget* sheet, QWidget* parent)
    : SheetShadowContainer(cornerRadius, parent)
{
    if (auto* surface = qobject_cast<TintedBlurView*>(sheet)) {
        surface->setCornerRadius(cornerRadius);
        surface->setBorderColor(TarnTheme::color(ThemeColor::sheetBorder));
    }
    setSheet(sheet);
}

bool SheetFrame::focusNextPrevChild(bool next)
{
    // The controls of the sheet in the window's focus order.
    QList<QWidget*> controls;
    for (QWidget* widget = nextInFocusChain(); widget != nullptr && widget != this;
         widget = widget->nextInFocusChain()) {
        const bool takesTab = (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        if (takesTab && isAncestorOf(widget) && widget->focusProxy() == nullptr && widget->isEnabled() &&
            widget->isVisibleTo(this)) {
            controls.append(widget);
        }
    }
    if (controls.isEmpty()) {
        return true;
    }
    const qsizetype current = controls.indexOf(window()->focusWidget());
    qsizetype target = 0;
    if (current < 0) {
        target = next ? 0 : controls.size() - 1;
    } else {
        target = (current + (next ? 1 : controls.size() - 1)) % controls.size();
    }
    controls.at(target)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

}  // namespace tarn
