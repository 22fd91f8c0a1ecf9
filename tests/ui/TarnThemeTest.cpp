#include "ui/UiTestSupport.h"

#include "ui/theme/CorvaneLogo.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarn {
namespace {

using test::contrast;

TEST(TarnTheme, TableHoldsEveryRoleOnceWithAName)
{
    QSet<QString> names;
    int index = 0;
    for (const TarnTheme::Entry& entry : TarnTheme::table()) {
        EXPECT_EQ(static_cast<int>(entry.role), index++) << entry.name;
        names.insert(QString::fromLatin1(entry.name));
        EXPECT_EQ(names.size(), index) << "twice: " << entry.name;
        EXPECT_EQ(TarnTheme::color(entry.role), QColor::fromRgbF(entry.red, entry.green, entry.blue, entry.alpha));
    }
    EXPECT_EQ(index, static_cast<int>(ThemeColor::placeholderLabel) + 1);
}

TEST(TarnTheme, BrandAndTintAreTheProductColours)
{
    EXPECT_EQ(TarnTheme::brand().name(), QStringLiteral("#33d16b"));
    EXPECT_EQ(TarnTheme::brand().alpha(), 255);
    const QColor tint = TarnTheme::baseTint();
    EXPECT_NEAR(tint.redF(), 0.135, 0.002);
    EXPECT_NEAR(tint.greenF(), 0.14, 0.002);
    EXPECT_NEAR(tint.blueF(), 0.15, 0.002);
    // A role at another alpha keeps its colour.
    const QColor faint = TarnTheme::color(ThemeColor::brand, 0.2);
    EXPECT_EQ(faint.rgb(), TarnTheme::brand().rgb());
    EXPECT_NEAR(faint.alphaF(), 0.2, 0.01);
}

TEST(TarnTheme, PaletteIsBuiltFromTheTable)
{
    const QPalette p = TarnTheme::palette();
    const QColor window = TarnTheme::color(ThemeColor::windowBackground);
    EXPECT_EQ(p.color(QPalette::Window), window);
    EXPECT_EQ(p.color(QPalette::Base), TarnTheme::color(ThemeColor::controlBackground));
    EXPECT_EQ(p.color(QPalette::Highlight), TarnTheme::color(ThemeColor::selectedContentBackground));
    EXPECT_EQ(p.color(QPalette::HighlightedText), TarnTheme::color(ThemeColor::selectedText));
    EXPECT_EQ(p.color(QPalette::Link), TarnTheme::color(ThemeColor::link));
    EXPECT_EQ(p.color(QPalette::Text), TarnTheme::over(TarnTheme::color(ThemeColor::label), window));
    EXPECT_EQ(p.color(QPalette::PlaceholderText),
              TarnTheme::over(TarnTheme::color(ThemeColor::placeholderLabel), window));
    // Dark: light text on a dark window.
    EXPECT_LT(window.lightnessF(), 0.2);
    EXPECT_GT(p.color(QPalette::Text).lightnessF(), 0.8);
}

TEST(TarnTheme, PlaceholderTextReadsAtFourAndAHalfToOneOnEveryFieldFill)
{
    const QPalette p = TarnTheme::palette();
    const QColor placeholder = p.color(QPalette::PlaceholderText);
    // Fields fill with the base; the window and a sheet's surface lie around them.
    for (const QColor& fill : {p.color(QPalette::Base), p.color(QPalette::Window),
                               TarnTheme::color(ThemeColor::controlBackground)}) {
        EXPECT_GE(contrast(placeholder, fill), 4.5) << fill.name().toStdString();
    }
    // And it is still told apart from typed text.
    EXPECT_LT(contrast(placeholder, p.color(QPalette::Base)), contrast(p.color(QPalette::Text), p.color(QPalette::Base)));
}

// One accent: the selection is a darker step of the brand (same hue and saturation),
// and no other green stands beside it.
TEST(TarnTheme, EveryGreenIsAStepOfTheOneAccent)
{
    const QColor brand = TarnTheme::brand();
    for (const ThemeColor role : {ThemeColor::controlAccent, ThemeColor::selectedContentBackground,
                                  ThemeColor::systemGreen}) {
        const QColor step = TarnTheme::color(role);
        SCOPED_TRACE(step.name().toStdString());
        EXPECT_NEAR(step.hsvHueF(), brand.hsvHueF(), 1.0 / 360);
        EXPECT_NEAR(step.hsvSaturationF(), brand.hsvSaturationF(), 0.02);
    }
    EXPECT_LT(TarnTheme::color(ThemeColor::selectedContentBackground).valueF(), brand.valueF());
    // White text on the selection, dark text on the accent.
    EXPECT_GE(contrast(TarnTheme::color(ThemeColor::selectedText), TarnTheme::color(ThemeColor::selectedContentBackground)),
              4.5);
    EXPECT_GE(contrast(TarnTheme::color(ThemeColor::textOnAccent), brand), 4.5);
}

TEST(TarnTheme, AppliedThemeIsFusionWithTheCjkFontAndOverlayScrollBars)
{
    auto* style = qobject_cast<TarnStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_TRUE(style->styleHint(QStyle::SH_ScrollBar_Transient));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), TarnTheme::color(ThemeColor::windowBackground));
    // fonts-noto-cjk is one of the packages the scripts install.
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), TarnTheme::fontFamily());
    // So is fonts-noto-color-emoji: object names with emoji fall back to it rather
    // than to empty boxes.
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("Noto Color Emoji")));
    EXPECT_EQ(QApplication::font().pixelSize(), 13);
}

TEST(CorvaneLogo, IsAWideImageWithTransparency)
{
    const QImage& logo = CorvaneLogo::image();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(975, 288));
    EXPECT_TRUE(logo.hasAlphaChannel());
    EXPECT_EQ(logo.pixelColor(0, 0).alpha(), 0);
    bool brandPixel = false;
    for (int x = 0; x < logo.width() && !brandPixel; ++x) {
        brandPixel = logo.pixelColor(x, logo.height() / 2).rgba() == TarnTheme::brand().rgba();
    }
    EXPECT_TRUE(brandPixel);
}

// Paint code names roles; a colour written anywhere else in the window layer would
// escape the table (and the next change of the palette).
TEST(TarnTheme, NoColourIsWrittenOutsideTheTable)
{
    const QRegularExpression literal(
        QStringLiteral(R"(QColor\s*\(\s*[0-9"#]|QColor::from(Rgb|Hsv|Hsl|Cmyk)[F]?\s*\(\s*[0-9.]|qRgba?\s*\(\s*[0-9]|)"
                       R"("#[0-9A-Fa-f]{3,8}"|Qt::(black|white|red|green|blue|gray|darkGray|lightGray|cyan|magenta|yellow|dark[A-Z]\w*)\b)"));
    const QString root = QStringLiteral(TARN_UI_SOURCE_DIR);
    QDirIterator files(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    int scanned = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        if (path.endsWith(QStringLiteral("/theme/TarnTheme.cpp"))) {
            continue;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            EXPECT_FALSE(literal.match(lines[i]).hasMatch())
                << path.toStdString() << ":" << i + 1 << ": " << lines[i].trimmed().toStdString();
        }
        ++scanned;
    }
    EXPECT_GT(scanned, 10);
}

}  // namespace
}  // namespace tarn
