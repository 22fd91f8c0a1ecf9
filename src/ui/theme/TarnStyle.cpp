#include "ui/theme/TarnStyle.h"

#include "ui/theme/LineEditCaret.h"
#include "ui/theme/TarnTheme.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>

namespace tarn {
namespace {

constexpr qreal kButtonRadius = 6;
constexpr qreal kFieldRadius = 5;
constexpr qreal kBoxRadius = 3.5;
constexpr qreal kMenuItemRadius = 4;
// How far a control's edge lies from the window's colour towards its text's.
constexpr qreal kEdgeShare = 0.5;
constexpr qreal kHoveredEdgeShare = 0.65;
// The fills of flat buttons: the palette's text laid thinly over what is behind.
constexpr qreal kButtonFill = 0.09;
constexpr qreal kButtonHoverFill = 0.14;
constexpr qreal kButtonPressedFill = 0.22;
constexpr qreal kDisabledButtonFill = 0.05;
constexpr qreal kPopupFill = 0.10;
constexpr qreal kPopupEdge = 0.18;
constexpr qreal kChevronShare = 0.65;
constexpr qreal kDisabledOpacity = 0.45;
constexpr int kButtonExtraWidth = 16;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

QColor textShare(const QPalette& palette, qreal share)
{
    return TarnTheme::over(withAlpha(palette.color(QPalette::WindowText), share), palette.color(QPalette::Window));
}

bool isDestructive(const QWidget* widget)
{
    return qobject_cast<const QPushButton*>(widget) != nullptr &&
           widget->property(TarnStyle::destructiveProperty).toBool();
}

// Qt's pop-up list of a combo box: a window of its own whose parent is the combo.
bool isComboPopup(const QWidget* widget)
{
    return widget != nullptr && widget->isWindow() && qobject_cast<const QComboBox*>(widget->parentWidget()) != nullptr;
}

// The line edit inside a combo box or spin box, whose frame is its owner's.
bool isInnerField(const QWidget* widget)
{
    return widget != nullptr && (qobject_cast<const QComboBox*>(widget->parentWidget()) != nullptr ||
                                 qobject_cast<const QAbstractSpinBox*>(widget->parentWidget()) != nullptr);
}

bool isMenu(const QWidget* widget)
{
    return qobject_cast<const QMenu*>(widget) != nullptr;
}

bool isPopupPanel(const QWidget* widget)
{
    return isComboPopup(widget) || isMenu(widget);
}

bool isTextArea(const QWidget* widget)
{
    return qobject_cast<const QPlainTextEdit*>(widget) != nullptr || qobject_cast<const QTextEdit*>(widget) != nullptr;
}

QColor popupFill(const QPalette& palette)
{
    return textShare(palette, kPopupFill);
}

// A pop-up's panel: the rounded fill and its hairline, inside the window mask.
void drawPopupPanel(QPainter& painter, const QRect& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(textShare(palette, kPopupEdge), 1));
    painter.setBrush(popupFill(palette));
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), TarnStyle::popupRadius,
                            TarnStyle::popupRadius);
    painter.restore();
}

// The rounded highlight of the row under the pointer in a pop-up list or a menu.
void drawPopupHighlight(QPainter& painter, const QRect& row, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.color(QPalette::Highlight));
    painter.drawRoundedRect(QRectF(row).adjusted(4, 1, -4, -1), kMenuItemRadius, kMenuItemRadius);
    painter.restore();
}

// A small open chevron pointing up or down, centred on a point.
void drawChevron(QPainter& painter, QPointF centre, qreal halfWidth, bool up, const QColor& color)
{
    const qreal height = halfWidth * 0.6;
    const qreal tip = up ? -height / 2 : height / 2;
    QPainterPath path;
    path.moveTo(centre.x() - halfWidth, centre.y() - tip);
    path.lineTo(centre.x(), centre.y() + tip);
    path.lineTo(centre.x() + halfWidth, centre.y() - tip);
    painter.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

}  // namespace

TarnStyle::TarnStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

int TarnStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const
{
    if (hint == SH_ScrollBar_Transient) {
        return 1;
    }
    if (hint == SH_Menu_Mask && isPopupPanel(widget)) {
        if (auto* mask = qstyleoption_cast<QStyleHintReturnMask*>(returnData)) {
            mask->region = popupMask(widget->size());
        }
        return 1;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int TarnStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent) {
        return 10;
    }
    // A line edit's own caret inverts what lies under it; its LineEditCaret draws one
    // in the text's colour instead. (Qt asks with the edit's option and no widget.)
    if (metric == PM_TextCursorWidth && option != nullptr &&
        qobject_cast<const QLineEdit*>(option->styleObject) != nullptr) {
        return 0;
    }
    // Room above the first row and below the last, so that the highlight of either
    // stays clear of the rounded corners.
    if (metric == PM_MenuVMargin && (isMenu(widget) || qobject_cast<const QComboBox*>(widget) != nullptr)) {
        return 4;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize TarnStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                                  const QWidget* widget) const
{
    QSize size = QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    if (type == CT_LineEdit) {
        if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            frame != nullptr && frame->lineWidth > 0 && !isInnerField(widget)) {
            size.rwidth() += 2 * fieldTextInset;
        }
    }
    if (type == CT_PushButton) {
        // A flat rounded button needs more room beside its title than a bevelled one.
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button != nullptr && !button->text.isEmpty() && !button->features.testFlag(QStyleOptionButton::Flat)) {
            size.rwidth() += kButtonExtraWidth;
        }
    }
    return size;
}

QColor TarnStyle::edgeColor(const QPalette& palette)
{
    return textShare(palette, kEdgeShare);
}

void TarnStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const
{
    switch (element) {
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton:
        drawCheckIndicator(*option, *painter, element == PE_IndicatorRadioButton);
        return;
    case PE_PanelLineEdit:
        // A field without a frame (the search field, the one inside a spin box)
        // draws what Fusion draws for it.
        if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            frame != nullptr && frame->lineWidth > 0 && !isInnerField(widget)) {
            drawField(*option, *painter, widget != nullptr && widget->property(invalidProperty).toBool());
            return;
        }
        break;
    case PE_PanelButtonCommand:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            const ButtonFill fill = isDestructive(widget) ? ButtonFill::destructive
                                    : button->features.testFlag(QStyleOptionButton::DefaultButton) ? ButtonFill::accent
                                                                                                    : ButtonFill::plain;
            drawButtonShape(*option, *painter, fill);
            return;
        }
        break;
    case PE_FrameFocusRect:
        // Push and pop-up buttons draw their focus ring with their shape.
        if (qobject_cast<const QPushButton*>(widget) != nullptr || qobject_cast<const QComboBox*>(widget) != nullptr) {
            return;
        }
        break;
    case PE_PanelItemViewRow:
    case PE_PanelItemViewItem:
        if (widget != nullptr && widget->property(ownSelectionProperty).toBool() &&
            option->state.testFlag(State_Selected)) {
            return;
        }
        break;
    case PE_PanelMenu:
        // The whole panel, edge included: a menu draws its frame after its rows, a
        // masked pop-up list draws only its frame.
        if (isPopupPanel(widget)) {
            drawPopupPanel(*painter, widget->rect(), option->palette);
            return;
        }
        break;
    case PE_FrameMenu:
        if (isMenu(widget)) {
            return;
        }
        break;
    case PE_Frame:
        if (isComboPopup(widget)) {
            drawPopupPanel(*painter, widget->rect(), option->palette);
            return;
        }
        // The edge of a text area as of a text field (its square viewport fills the
        // corners a rounded edge would leave).
        if (isTextArea(widget)) {
            painter->save();
            painter->setPen(edgeColor(option->palette));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
            painter->restore();
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TarnStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const
{
    if (element == CE_PushButtonLabel) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button != nullptr &&
            (button->features.testFlag(QStyleOptionButton::DefaultButton) || isDestructive(widget)) &&
            !button->features.testFlag(QStyleOptionButton::Flat)) {
            QStyleOptionButton onAccent(*button);
            const bool enabled = option->state.testFlag(State_Enabled);
            onAccent.palette.setColor(QPalette::ButtonText,
                                      TarnTheme::color(ThemeColor::textOnAccent, enabled ? 1.0 : 0.55));
            QProxyStyle::drawControl(element, &onAccent, painter, widget);
            return;
        }
    }
    if (element == CE_ComboBoxLabel && !option->state.testFlag(State_Enabled)) {
        // What a disabled pop-up shows ("—") stays legible on its faint fill.
        QStyleOptionComboBox dimmed;
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
            dimmed = *combo;
            const QColor legible =
                TarnTheme::over(withAlpha(option->palette.color(QPalette::Active, QPalette::WindowText), kEdgeShare),
                                option->palette.color(QPalette::Active, QPalette::Window));
            dimmed.palette.setColor(QPalette::Disabled, QPalette::ButtonText, legible);
            dimmed.palette.setColor(QPalette::Disabled, QPalette::Text, legible);
            QProxyStyle::drawControl(element, &dimmed, painter, widget);
            return;
        }
    }
    const bool comboRow = qobject_cast<const QComboBox*>(widget) != nullptr;
    if (element == CE_MenuItem && (comboRow || isMenu(widget))) {
        // A row of a pop-up list or a menu: on the panel's own surface, the chosen
        // row in a rounded highlight inset from the edges.
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            item != nullptr && item->menuItemType != QStyleOptionMenuItem::Separator) {
            QStyleOptionMenuItem row(*item);
            row.palette.setColor(QPalette::Window, popupFill(option->palette));
            const bool selected = item->state.testFlag(State_Selected) && item->state.testFlag(State_Enabled);
            if (comboRow) {
                painter->fillRect(item->rect, popupFill(option->palette));
            }
            if (selected) {
                drawPopupHighlight(*painter, item->rect, option->palette);
                row.state &= ~State_Selected;
                const QColor text = option->palette.color(QPalette::HighlightedText);
                for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
                    row.palette.setColor(role, text);
                }
            }
            QProxyStyle::drawControl(element, &row, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TarnStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (control == CC_SpinBox && qstyleoption_cast<const QStyleOptionSpinBox*>(option) != nullptr) {
        drawSpinBox(*option, *painter, widget);
        return;
    }
    if (control == CC_ComboBox) {
        const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        if (combo != nullptr && !combo->editable) {
            drawComboBox(*option, *painter, widget);
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect TarnStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    QRect rect = QProxyStyle::subElementRect(element, option, widget);
    if (element == SE_LineEditContents) {
        // One inset for every framed field, whoever made it.
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (frame != nullptr && frame->lineWidth > 0 && !isInnerField(widget)) {
            rect.adjust(fieldTextInset, 0, -fieldTextInset, 0);
        }
    }
    return rect;
}

QRegion TarnStyle::popupMask(const QSize& size)
{
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), popupRadius, popupRadius);
    return QRegion(shape.toFillPolygon().toPolygon());
}

void TarnStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    // A pop-up list asks for no mask of its own: it follows its size from here.
    if (isComboPopup(widget)) {
        widget->installEventFilter(this);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget);
        edit != nullptr && edit->findChild<LineEditCaret*>(QString(), Qt::FindDirectChildrenOnly) == nullptr) {
        new LineEditCaret(edit);
    }
}

void TarnStyle::unpolish(QWidget* widget)
{
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        delete edit->findChild<LineEditCaret*>(QString(), Qt::FindDirectChildrenOnly);
    }
    if (isComboPopup(widget)) {
        widget->removeEventFilter(this);
        widget->clearMask();
    }
    QProxyStyle::unpolish(widget);
}

bool TarnStyle::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        if (auto* popup = qobject_cast<QWidget*>(watched); popup != nullptr && isComboPopup(popup)) {
            popup->setMask(popupMask(popup->size()));
        }
    }
    return QProxyStyle::eventFilter(watched, event);
}

void TarnStyle::drawCheckIndicator(const QStyleOption& option, QPainter& painter, bool radio) const
{
    const bool marked = option.state.testFlag(State_On) || option.state.testFlag(State_NoChange);
    const QRectF box = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!option.state.testFlag(State_Enabled)) {
        painter.setOpacity(kDisabledOpacity);
    }
    const QColor accent = TarnTheme::color(ThemeColor::controlAccent);
    if (marked) {
        painter.setPen(QPen(accent, 1));
        painter.setBrush(accent);
    } else {
        const bool hovered = option.state.testFlag(State_MouseOver) && option.state.testFlag(State_Enabled);
        painter.setPen(QPen(textShare(option.palette, hovered ? kHoveredEdgeShare : kEdgeShare), 1));
        painter.setBrush(option.palette.color(QPalette::Base));
    }
    if (radio) {
        painter.drawEllipse(box);
    } else {
        painter.drawRoundedRect(box, kBoxRadius, kBoxRadius);
    }

    const QColor mark = TarnTheme::color(ThemeColor::textOnAccent);
    const qreal side = box.width();
    if (radio && marked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(mark);
        painter.drawEllipse(box.center(), side * 0.2, side * 0.2);
    } else if (option.state.testFlag(State_NoChange)) {
        painter.setPen(QPen(mark, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(box.left() + side * 0.28, box.center().y()),
                         QPointF(box.right() - side * 0.28, box.center().y()));
    } else if (marked) {
        QPainterPath tick;
        tick.moveTo(box.left() + side * 0.24, box.top() + side * 0.52);
        tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.70);
        tick.lineTo(box.left() + side * 0.76, box.top() + side * 0.32);
        painter.setPen(QPen(mark, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }
    painter.restore();
}

void TarnStyle::drawField(const QStyleOption& option, QPainter& painter, bool invalid) const
{
    const QRectF field = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(option.palette.color(QPalette::Base));
    painter.drawRoundedRect(field, kFieldRadius, kFieldRadius);
    painter.setBrush(Qt::NoBrush);
    if (option.state.testFlag(State_HasFocus) && option.state.testFlag(State_Enabled)) {
        painter.setPen(
            QPen(TarnTheme::color(invalid ? ThemeColor::systemRed : ThemeColor::controlAccent), 2));
        painter.drawRoundedRect(field.adjusted(0.5, 0.5, -0.5, -0.5), kFieldRadius - 0.5, kFieldRadius - 0.5);
    } else {
        painter.setPen(QPen(invalid ? TarnTheme::color(ThemeColor::systemRed) : edgeColor(option.palette), 1));
        painter.drawRoundedRect(field, kFieldRadius, kFieldRadius);
    }
    painter.restore();
}

void TarnStyle::drawButtonShape(const QStyleOption& option, QPainter& painter, ButtonFill fill) const
{
    const bool enabled = option.state.testFlag(State_Enabled);
    const bool down = option.state.testFlag(State_Sunken) || option.state.testFlag(State_On);
    const bool hovered = option.state.testFlag(State_MouseOver);
    const bool isDefault = fill != ButtonFill::plain;
    const QRectF shape = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (isDefault) {
        QColor accent =
            TarnTheme::color(fill == ButtonFill::destructive ? ThemeColor::systemRed : ThemeColor::controlAccent);
        if (!enabled) {
            accent.setAlphaF(0.35f);
        } else if (down) {
            accent = accent.darker(118);
        } else if (hovered) {
            accent = accent.lighter(108);
        }
        painter.setBrush(accent);
    } else {
        qreal share = kButtonFill;
        if (!enabled) {
            share = kDisabledButtonFill;
        } else if (down) {
            share = kButtonPressedFill;
        } else if (hovered) {
            share = kButtonHoverFill;
        }
        painter.setBrush(withAlpha(option.palette.color(QPalette::WindowText), share));
    }
    painter.drawRoundedRect(shape, kButtonRadius, kButtonRadius);
    // A ring only for focus the keyboard moved there, as Tab does: a click that
    // focuses a pop-up button is not announced.
    if (option.state.testFlag(State_HasFocus) && option.state.testFlag(State_KeyboardFocusChange) && enabled) {
        // On the accent the ring is drawn inside, in the colour of the text on it.
        const QRectF ring = isDefault ? shape.adjusted(2, 2, -2, -2) : shape.adjusted(0.75, 0.75, -0.75, -0.75);
        painter.setPen(QPen(TarnTheme::color(isDefault ? ThemeColor::textOnAccent : ThemeColor::controlAccent),
                            isDefault ? 1.0 : 1.5));
        painter.setBrush(Qt::NoBrush);
        const qreal radius = isDefault ? kButtonRadius - 2 : kButtonRadius - 0.75;
        painter.drawRoundedRect(ring, radius, radius);
    }
    painter.restore();
}

void TarnStyle::drawSpinBox(const QStyleOptionComplex& option, QPainter& painter, const QWidget* widget) const
{
    const auto& spin = static_cast<const QStyleOptionSpinBox&>(option);
    if (spin.frame) {
        drawField(option, painter);
    }
    if (spin.buttonSymbols == QAbstractSpinBox::NoButtons) {
        return;
    }
    const QRect up = subControlRect(CC_SpinBox, &spin, SC_SpinBoxUp, widget);
    const QRect down = subControlRect(CC_SpinBox, &spin, SC_SpinBoxDown, widget);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!option.state.testFlag(State_Enabled)) {
        painter.setOpacity(kDisabledOpacity);
    }
    // The buttons' column, set off from the text by a hairline.
    const qreal divider = up.left() + 0.5;
    painter.setPen(QPen(withAlpha(edgeColor(option.palette), 0.6), 1));
    painter.drawLine(QPointF(divider, option.rect.top() + 4), QPointF(divider, option.rect.bottom() - 3));
    const struct {
        QRect rect;
        SubControl part;
        QAbstractSpinBox::StepEnabledFlag enabledFlag;
        bool up;
    } buttons[] = {{up, SC_SpinBoxUp, QAbstractSpinBox::StepUpEnabled, true},
                   {down, SC_SpinBoxDown, QAbstractSpinBox::StepDownEnabled, false}};
    for (const auto& button : buttons) {
        const bool stepEnabled = spin.stepEnabled.testFlag(button.enabledFlag);
        if (stepEnabled && spin.activeSubControls == button.part && option.state.testFlag(State_Sunken)) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(option.palette.color(QPalette::WindowText), kButtonPressedFill));
            painter.drawRoundedRect(QRectF(button.rect).adjusted(2, 1, -2, -1), 3, 3);
        }
        QColor chevron = textShare(option.palette, kChevronShare);
        if (!stepEnabled) {
            chevron = textShare(option.palette, kEdgeShare / 2);
        }
        drawChevron(painter, QRectF(button.rect).center(), 3.5, button.up, chevron);
    }
    painter.restore();
}

void TarnStyle::drawComboBox(const QStyleOptionComplex& option, QPainter& painter, const QWidget* widget) const
{
    const auto& combo = static_cast<const QStyleOptionComboBox&>(option);
    drawButtonShape(option, painter, ButtonFill::plain);
    if (!option.state.testFlag(State_Enabled)) {
        // A pop-up button with nothing to offer keeps its outline, so that it is seen
        // to be there (and the hint beside it is read as being about it): a text
        // field's edge, laid thinly over the surface the button sits on (a sheet's is
        // lighter than the window's colour, which would sink a mixed one into it).
        // Its dimmed text and chevrons say it is disabled.
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(withAlpha(option.palette.color(QPalette::Active, QPalette::WindowText), kEdgeShare), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5), kButtonRadius, kButtonRadius);
        painter.restore();
    }
    // Up and down chevrons, as a pop-up button shows: the list opens over it.
    const QRectF arrow = subControlRect(CC_ComboBox, &combo, SC_ComboBoxArrow, widget);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!option.state.testFlag(State_Enabled)) {
        painter.setOpacity(kDisabledOpacity);
    }
    const QColor color = textShare(option.palette, kChevronShare);
    const QPointF centre = arrow.center();
    drawChevron(painter, centre - QPointF(0, 3), 3, true, color);
    drawChevron(painter, centre + QPointF(0, 3), 3, false, color);
    painter.restore();
}

}  // namespace tarn
