#pragma once

#include "ui/views/SheetShadowContainer.h"

namespace tarn {

// A sheet in its frame: the shadow around it, rounded corners and a hairline border
// on its surface, and a keyboard that stays inside: Tab and Shift+Tab cycle through
// the sheet's own controls and never reach the window beneath.
class SheetFrame : public SheetShadowContainer {
    Q_OBJECT

public:
    static constexpr qreal cornerRadius = 14;

    explicit SheetFrame(QWidget* sheet, QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
};

}  // namespace tarn
