#pragma once

#include <QProxyStyle>

namespace tarn {

// Fusion with what the dark window needs: thin scroll bars that lie over the
// content instead of taking room beside it, and the controls of every sheet and
// dialog (Qt's own included) drawn flat and rounded like the toolbar and the
// inspector's tiles. Push buttons and pop-up buttons are flat fills, the default
// button takes the accent, pop-up lists and menus are rounded panels with a hairline
// edge (cut to their shape by a window mask, which needs no compositor), and
// check boxes, radio buttons and text fields show their edge at a contrast of at
// least 3:1, from whatever palette the control has, dark or light. A line edit's
// caret is drawn in its text colour (LineEditCaret), not inverted.
class TarnStyle : public QProxyStyle {
    Q_OBJECT

public:
    TarnStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget = nullptr) const override;
    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    // The corner radius of pop-up lists and menus, as of the buttons that open them.
    static constexpr qreal popupRadius = 6;
    // The window mask of a pop-up of this size: its rounded shape.
    static QRegion popupMask(const QSize& size);
    // What a framed text field keeps between its edge and its text, in every sheet,
    // dialog and bar alike.
    static constexpr int fieldTextInset = 4;


    // Set true on a push button, it is drawn as a destructive one (it deletes): the
    // theme's red under the text colour of the accent.
    static constexpr const char* destructiveProperty = "tarnDestructive";
    // Set true on a text field, its edge (and its focus ring) are red: what it holds
    // cannot be used as it stands.
    static constexpr const char* invalidProperty = "tarnInvalid";
    // Set true on an item view whose delegate draws the selection itself (one rounded
    // band across the row): the style then fills no square of it behind the cells.
    static constexpr const char* ownSelectionProperty = "tarnOwnSelection";

    // The edge of a check box, radio button or text field in a palette: half way from
    // the window to its text, which keeps 3:1 against the window, a sheet's surface
    // and the field's own fill in the dark theme and in a light one.
    static QColor edgeColor(const QPalette& palette);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drawCheckIndicator(const QStyleOption& option, QPainter& painter, bool radio) const;
    void drawField(const QStyleOption& option, QPainter& painter, bool invalid = false) const;
    // A filled button takes the accent (the default button) or the red (a destructive one).
    enum class ButtonFill { plain, accent, destructive };
    void drawButtonShape(const QStyleOption& option, QPainter& painter, ButtonFill fill) const;
    void drawSpinBox(const QStyleOptionComplex& option, QPainter& painter, const QWidget* widget) const;
    void drawComboBox(const QStyleOptionComplex& option, QPainter& painter, const QWidget* widget) const;
};

}  // namespace tarn
