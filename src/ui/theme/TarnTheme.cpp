#include "ui/theme/TarnTheme.h"

#include "ui/theme/TarnStyle.h"

#include <QApplication>
#include <QToolTip>

#include <array>
#include <cstddef>

namespace tarn {
namespace {

// The only place colour values are written in the window layer. Label colours are
// white with an alpha so that text keeps its contrast on every tinted surface.
constexpr std::array kTable{
    TarnTheme::Entry{ThemeColor::brand, "brand", 0.20f, 0.82f, 0.42f, 1.0f},
    TarnTheme::Entry{ThemeColor::baseTint, "baseTint", 0.135f, 0.14f, 0.15f, 1.0f},
    TarnTheme::Entry{ThemeColor::windowBackground, "windowBackground", 0.090f, 0.094f, 0.102f, 1.0f},
    TarnTheme::Entry{ThemeColor::materialBase, "materialBase", 0.220f, 0.225f, 0.235f, 1.0f},
    TarnTheme::Entry{ThemeColor::controlBackground, "controlBackground", 0.106f, 0.110f, 0.118f, 1.0f},
    TarnTheme::Entry{ThemeColor::alternateRowBackground, "alternateRowBackground", 0.137f, 0.141f, 0.149f, 1.0f},
    TarnTheme::Entry{ThemeColor::textBackground, "textBackground", 0.071f, 0.075f, 0.082f, 1.0f},
    TarnTheme::Entry{ThemeColor::buttonBackground, "buttonBackground", 0.180f, 0.188f, 0.200f, 1.0f},
    TarnTheme::Entry{ThemeColor::label, "label", 1.0f, 1.0f, 1.0f, 0.88f},
    TarnTheme::Entry{ThemeColor::secondaryLabel, "secondaryLabel", 1.0f, 1.0f, 1.0f, 0.56f},
    TarnTheme::Entry{ThemeColor::tertiaryLabel, "tertiaryLabel", 1.0f, 1.0f, 1.0f, 0.32f},
    TarnTheme::Entry{ThemeColor::quaternaryLabel, "quaternaryLabel", 1.0f, 1.0f, 1.0f, 0.14f},
    TarnTheme::Entry{ThemeColor::separator, "separator", 1.0f, 1.0f, 1.0f, 0.10f},
    TarnTheme::Entry{ThemeColor::controlAccent, "controlAccent", 0.20f, 0.82f, 0.42f, 1.0f},
    // The accent's darker step (its components halved: same hue and saturation), dark
    // enough under white text.
    TarnTheme::Entry{ThemeColor::selectedContentBackground, "selectedContentBackground", 0.10f, 0.41f, 0.21f, 1.0f},
    TarnTheme::Entry{ThemeColor::unemphasizedSelectedContentBackground, "unemphasizedSelectedContentBackground", 1.0f, 1.0f, 1.0f, 0.10f},
    TarnTheme::Entry{ThemeColor::selectedText, "selectedText", 1.0f, 1.0f, 1.0f, 1.0f},
    TarnTheme::Entry{ThemeColor::link, "link", 0.36f, 0.66f, 1.0f, 1.0f},
    TarnTheme::Entry{ThemeColor::toolTipBackground, "toolTipBackground", 0.165f, 0.173f, 0.184f, 1.0f},
    TarnTheme::Entry{ThemeColor::systemRed, "systemRed", 1.0f, 0.36f, 0.33f, 1.0f},
    TarnTheme::Entry{ThemeColor::systemOrange, "systemOrange", 1.0f, 0.65f, 0.24f, 1.0f},
    TarnTheme::Entry{ThemeColor::systemYellow, "systemYellow", 1.0f, 0.84f, 0.04f, 1.0f},
    // Success is told in the accent: one green in the window, not two close ones.
    TarnTheme::Entry{ThemeColor::systemGreen, "systemGreen", 0.20f, 0.82f, 0.42f, 1.0f},
    TarnTheme::Entry{ThemeColor::systemBlue, "systemBlue", 0.24f, 0.58f, 1.0f, 1.0f},
    TarnTheme::Entry{ThemeColor::overlayDim, "overlayDim", 0.0f, 0.0f, 0.0f, 0.32f},
    TarnTheme::Entry{ThemeColor::hairlineBorder, "hairlineBorder", 1.0f, 1.0f, 1.0f, 0.08f},
    TarnTheme::Entry{ThemeColor::sheetBorder, "sheetBorder", 1.0f, 1.0f, 1.0f, 0.14f},
    TarnTheme::Entry{ThemeColor::selectedSideItem, "selectedSideItem", 1.0f, 1.0f, 1.0f, 0.13f},
    TarnTheme::Entry{ThemeColor::skeletonBar, "skeletonBar", 1.0f, 1.0f, 1.0f, 0.08f},
    TarnTheme::Entry{ThemeColor::sheetShadow, "sheetShadow", 0.0f, 0.0f, 0.0f, 0.55f},
    TarnTheme::Entry{ThemeColor::pageBackground, "pageBackground", 1.0f, 1.0f, 1.0f, 1.0f},
    TarnTheme::Entry{ThemeColor::pageText, "pageText", 0.0f, 0.0f, 0.0f, 1.0f},
    TarnTheme::Entry{ThemeColor::controlFill, "controlFill", 1.0f, 1.0f, 1.0f, 0.07f},
    TarnTheme::Entry{ThemeColor::controlHoverFill, "controlHoverFill", 1.0f, 1.0f, 1.0f, 0.07f},
    TarnTheme::Entry{ThemeColor::controlPressedFill, "controlPressedFill", 1.0f, 1.0f, 1.0f, 0.14f},
    TarnTheme::Entry{ThemeColor::textOnAccent, "textOnAccent", 0.055f, 0.063f, 0.071f, 1.0f},
    // Placeholder text: light enough for 4.5:1 on a field's fill, still plainly not typed text.
    TarnTheme::Entry{ThemeColor::placeholderLabel, "placeholderLabel", 1.0f, 1.0f, 1.0f, 0.50f},
};

constexpr bool tableFollowsEnum()
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (static_cast<std::size_t>(kTable[i].role) != i) {
            return false;
        }
    }
    return true;
}
static_assert(tableFollowsEnum(), "the colour table lists every role once, in the order of ThemeColor");
static_assert(static_cast<std::size_t>(ThemeColor::placeholderLabel) + 1 == kTable.size(),
              "every role has a colour");

// The label colours composited on the window, for the roles of Fusion that are
// drawn without blending (disabled text is drawn by the style on top of the base).
QColor opaqueOver(ThemeColor role, ThemeColor base)
{
    return TarnTheme::over(TarnTheme::color(role), TarnTheme::color(base));
}

}  // namespace

std::span<const TarnTheme::Entry> TarnTheme::table()
{
    return kTable;
}

QColor TarnTheme::color(ThemeColor role)
{
    const Entry& entry = kTable[static_cast<std::size_t>(role)];
    return QColor::fromRgbF(entry.red, entry.green, entry.blue, entry.alpha);
}

QColor TarnTheme::color(ThemeColor role, qreal alpha)
{
    QColor result = color(role);
    result.setAlphaF(static_cast<float>(alpha));
    return result;
}

QColor TarnTheme::over(const QColor& top, const QColor& bottom)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + bottom.redF() * (1 - a)),
                            static_cast<float>(top.greenF() * a + bottom.greenF() * (1 - a)),
                            static_cast<float>(top.blueF() * a + bottom.blueF() * (1 - a)));
}

QPalette TarnTheme::palette()
{
    const QColor window = color(ThemeColor::windowBackground);
    const QColor button = color(ThemeColor::buttonBackground);
    const QColor text = opaqueOver(ThemeColor::label, ThemeColor::windowBackground);
    const QColor disabledText = opaqueOver(ThemeColor::tertiaryLabel, ThemeColor::windowBackground);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, color(ThemeColor::controlBackground));
    p.setColor(QPalette::AlternateBase, color(ThemeColor::alternateRowBackground));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, opaqueOver(ThemeColor::placeholderLabel, ThemeColor::windowBackground));
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, color(ThemeColor::selectedText));
    p.setColor(QPalette::Highlight, color(ThemeColor::selectedContentBackground));
    p.setColor(QPalette::HighlightedText, color(ThemeColor::selectedText));
    p.setColor(QPalette::Link, color(ThemeColor::link));
    p.setColor(QPalette::LinkVisited, color(ThemeColor::link));
    p.setColor(QPalette::ToolTipBase, color(ThemeColor::toolTipBackground));
    p.setColor(QPalette::ToolTipText, text);
    // Fusion draws bevels and outlines from these; they follow the button colour.
    p.setColor(QPalette::Light, button.lighter(130));
    p.setColor(QPalette::Midlight, button.lighter(115));
    p.setColor(QPalette::Mid, button.darker(125));
    p.setColor(QPalette::Dark, button.darker(150));
    p.setColor(QPalette::Shadow, window.darker(200));

    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabledText);
    }
    p.setColor(QPalette::Disabled, QPalette::Highlight, color(ThemeColor::unemphasizedSelectedContentBackground));
    p.setColor(QPalette::Inactive, QPalette::Highlight, color(ThemeColor::selectedContentBackground));
    return p;
}

QString TarnTheme::fontFamily()
{
    return QStringLiteral("Noto Sans CJK SC");
}

QFont TarnTheme::font(int pixelSize, QFont::Weight weight)
{
    QFont result(fontFamily());
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    result.setStyleStrategy(QFont::PreferAntialias);
    return result;
}

void TarnTheme::apply(QApplication& application)
{
    QApplication::setStyle(new TarnStyle());
    QApplication::setPalette(palette());
    QToolTip::setPalette(palette());
    application.setFont(font(13));
}

}  // namespace tarn
