#include "ui/UiTestSupport.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/TintedBlurView.h"

#include <QDirIterator>
#include <QFile>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QSet>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tarn {
namespace {

// Every icon name the window layer asks for: toolbar, sidebar, breadcrumb, object
// table, upload rows, toasts, inspector, sheets and the transfer panel.
const QStringList kIconNamesInUse{
    QStringLiteral("archivebox"),
    QStringLiteral("arrow.clockwise"),
    QStringLiteral("arrow.down.circle"),
    QStringLiteral("arrow.down.right.and.arrow.up.left"),
    QStringLiteral("arrow.up.circle"),
    QStringLiteral("arrow.up.left.and.arrow.down.right"),
    QStringLiteral("arrow.up.right"),
    QStringLiteral("arrow.up.right.square"),
    QStringLiteral("arrow.uturn.backward"),
    QStringLiteral("arrowshape.turn.up.right"),
    QStringLiteral("checkmark.circle"),
    QStringLiteral("chevron.left"),
    QStringLiteral("chevron.right"),
    QStringLiteral("doc.on.doc"),
    QStringLiteral("doc.richtext"),
    QStringLiteral("doc.text"),
    QStringLiteral("document_line"),
    QStringLiteral("exclamationmark.triangle.fill"),
    QStringLiteral("film"),
    QStringLiteral("folder"),
    QStringLiteral("folder.badge.plus"),
    QStringLiteral("folder.fill"),
    QStringLiteral("folder_2_line"),
    QStringLiteral("gearshape"),
    QStringLiteral("info.circle"),
    QStringLiteral("info.circle.fill"),
    QStringLiteral("link"),
    QStringLiteral("magnifyingglass"),
    QStringLiteral("minus.circle.fill"),
    QStringLiteral("minus.magnifyingglass"),
    QStringLiteral("pause.fill"),
    QStringLiteral("pencil"),
    QStringLiteral("photo"),
    QStringLiteral("play.fill"),
    QStringLiteral("plus"),
    QStringLiteral("plus.circle"),
    QStringLiteral("plus.magnifyingglass"),
    QStringLiteral("refresh_1_line"),
    QStringLiteral("share_3_line"),
    QStringLiteral("sidebar.right"),
    QStringLiteral("speaker.slash"),
    QStringLiteral("speaker.wave.2"),
    QStringLiteral("square.and.arrow.down"),
    QStringLiteral("square.and.arrow.up"),
    QStringLiteral("star"),
    QStringLiteral("star.fill"),
    QStringLiteral("storage_fill"),
    QStringLiteral("trash"),
    QStringLiteral("waveform"),
    QStringLiteral("xmark"),
    QStringLiteral("xmark.circle"),
};

TEST(MingCute, AliasesApplyOnceAndOtherNamesPassUnchanged)
{
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("share_3_line"), QStringLiteral("square.and.arrow.up")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("arrow.up.circle")},
        {QStringLiteral("document_line"), QStringLiteral("doc")},
        {QStringLiteral("folder_2_line"), QStringLiteral("folder.fill")},
        {QStringLiteral("storage_fill"), QStringLiteral("externaldrive")},
        {QStringLiteral("refresh_1_line"), QStringLiteral("arrow.clockwise")},
        {QStringLiteral("trash"), QStringLiteral("trash")},
        {QStringLiteral("no.such.symbol"), QStringLiteral("no.such.symbol")},
    };
    for (const auto& [name, symbol] : cases) {
        EXPECT_EQ(MingCute::symbolName(name), symbol) << name.toStdString();
    }
    // The toolbar's upload segment and share segment end on different glyphs.
    EXPECT_NE(MingCute::glyphResource(QStringLiteral("share_3_line")),
              MingCute::glyphResource(QStringLiteral("square.and.arrow.up")));
    EXPECT_EQ(MingCute::glyphResource(QStringLiteral("square.and.arrow.up")),
              MingCute::glyphResource(QStringLiteral("arrow.up.circle")));
}

TEST(MingCute, EveryIconNameInUseDrawsAVendoredGlyph)
{
    for (const QString& name : kIconNamesInUse) {
        SCOPED_TRACE(name.toStdString());
        const QString resource = MingCute::glyphResource(name);
        ASSERT_FALSE(resource.isEmpty());
        EXPECT_TRUE(QFile::exists(resource)) << resource.toStdString();
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap pixmap = MingCute::pixmap(name, 14, TarnTheme::color(ThemeColor::label), ratio);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.size(), MingCute::iconSize(14) * ratio);
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
            EXPECT_GT(test::paintedPixels(pixmap.toImage()), 10);
        }
        EXPECT_FALSE(MingCute::icon(name, TarnTheme::brand()).isNull());
    }
}

TEST(MingCute, OnlyTheGlyphsInTheTableAreVendoredWithTheirLicence)
{
    QSet<QString> expected;
    for (const QString& symbol : MingCute::symbolNames()) {
        expected.insert(MingCute::symbolGlyphResource(symbol));
    }
    QSet<QString> vendored;
    QDirIterator files(QStringLiteral(":/icons/mingcute"), {QStringLiteral("*.svg")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        vendored.insert(files.next());
    }
    EXPECT_EQ(vendored, expected);

    const QString folder = QStringLiteral(TARN_UI_SOURCE_DIR "/icons/mingcute");
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/LICENSE")));
    QFile note(folder + QStringLiteral("/README.md"));
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_TRUE(note.readAll().contains("mingcute_icon 2.9.72"));
}

TEST(MingCute, UnknownNamesGiveNoImage)
{
    EXPECT_TRUE(MingCute::glyphResource(QStringLiteral("no.such.symbol")).isEmpty());
    EXPECT_TRUE(MingCute::icon(QStringLiteral("no.such.symbol"), TarnTheme::brand()).isNull());
    EXPECT_TRUE(MingCute::pixmap(QStringLiteral("no.such.symbol"), 14, TarnTheme::brand(), 1).isNull());
    EXPECT_FALSE(IconView(QStringLiteral("no.such.symbol"), 14, TarnTheme::brand()).hasIcon());
}

TEST(MingCute, GlyphsTakeTheTintAndFadeWhenDisabled)
{
    const QColor tint = TarnTheme::color(ThemeColor::systemOrange);
    const QImage image = MingCute::pixmap(QStringLiteral("star.fill"), 16, tint, 2).toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 128) {
                EXPECT_TRUE(test::sameColor(pixel.toRgb(), QColor(tint.red(), tint.green(), tint.blue(), pixel.alpha())))
                    << x << "," << y;
            }
        }
    }
    EXPECT_EQ(test::maximumAlpha(image), 255);

    const QIcon icon = MingCute::icon(QStringLiteral("star.fill"), tint);
    const int disabled = test::maximumAlpha(icon.pixmap(QSize(18, 18), 1.0, QIcon::Disabled).toImage());
    EXPECT_GT(disabled, 0);
    EXPECT_LT(disabled, 128);
}

// A panel of every icon in use, at the sizes the window draws them, for review.
TEST(MingCute, PanelOfEveryIcon)
{
    TintedBlurView panel(0.5);
    auto* grid = new QGridLayout(&panel);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(10);
    const int columns = 4;
    for (int i = 0; i < kIconNamesInUse.size(); ++i) {
        const QString& name = kIconNamesInUse[i];
        auto* cell = new QWidget(&panel);
        auto* row = new QHBoxLayout(cell);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        for (const qreal size : {12.0, 16.0}) {
            auto* icon = new IconView(name, size, TarnTheme::color(ThemeColor::label), cell);
            icon->setFixedSize(MingCute::iconSize(16));
            row->addWidget(icon);
        }
        row->addWidget(new IconView(name, 16, TarnTheme::brand(), cell));
        auto* label = new QLabel(name, cell);
        label->setFont(TarnTheme::font(11));
        row->addWidget(label, 1);
        grid->addWidget(cell, i / columns, i % columns);
    }
    panel.resize(panel.sizeHint());
    panel.show();
    test::saveGrab(&panel);
    test::saveGrab(&panel, QStringLiteral("2x"), 2.0);
}

}  // namespace
}  // namespace tarn
