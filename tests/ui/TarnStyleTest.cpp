#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "ui/sheets/SheetView.h"
#include "ui/theme/LineEditCaret.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/TintedBlurView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tarn {
namespace {

using test::edgeContrast;
using test::settle;

// Controls on a surface: the sheets' tinted one, or a plain window of a palette.
struct Surface {
    const char* name;
    bool sheet;
    QPalette palette;
};

std::unique_ptr<QWidget> makeHost(const Surface& surface)
{
    std::unique_ptr<QWidget> host;
    if (surface.sheet) {
        host = std::make_unique<TintedBlurView>(SheetView::tintAlpha);
    } else {
        host = std::make_unique<QWidget>();
        host->setAutoFillBackground(true);
    }
    host->setPalette(surface.palette);
    return host;
}

// Pop-up lists and menus are cut to the rounded shape of the buttons that open them:
// a window mask, which an X server without a compositor honours too.
void expectRoundedMask(QWidget* popup)
{
    const QRegion mask = popup->mask();
    ASSERT_FALSE(mask.isEmpty()) << popup->metaObject()->className();
    const QRect r = popup->rect();
    for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
    }
    EXPECT_TRUE(mask.contains(r.center()));
    EXPECT_TRUE(mask.contains(QPoint(r.center().x(), r.top())));
    EXPECT_TRUE(mask.contains(QPoint(r.left(), r.center().y())));
    EXPECT_EQ(mask, TarnStyle::popupMask(popup->size()));
}

QList<Surface> surfaces()
{
    return {{"sheet", true, TarnTheme::palette()},
            {"dark window", false, TarnTheme::palette()},
            {"light window", false, QApplication::style()->standardPalette()}};
}

TEST(TarnStyle, ChecksRadiosAndFieldsShowTheirEdgeAtThreeToOneOnDarkAndLight)
{
    for (const Surface& surface : surfaces()) {
        SCOPED_TRACE(surface.name);
        std::unique_ptr<QWidget> host = makeHost(surface);
        auto* layout = new QVBoxLayout(host.get());
        layout->setContentsMargins(16, 16, 16, 16);
        auto* check = new QCheckBox(QStringLiteral("Enable debug logging"));
        auto* radio = new QRadioButton(QStringLiteral("HTTPS"));
        auto* field = new QLineEdit(QStringLiteral("photos"));
        auto* spin = new QSpinBox();
        for (QWidget* control : std::initializer_list<QWidget*>{check, radio, field, spin}) {
            layout->addWidget(control);
        }
        host->resize(260, 180);
        host->show();
        settle();
        const QImage grab = host->grab().toImage();

        for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{check, radio}) {
            QStyleOptionButton option;
            option.initFrom(button);
            const QStyle::SubElement element =
                button == check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator;
            const QRect indicator = button->style()->subElementRect(element, &option, button);
            const QPoint left = button->mapTo(host.get(), QPoint(indicator.left(), indicator.center().y()));
            EXPECT_GE(edgeContrast(grab, left.x(), left.y()), 3.0) << button->metaObject()->className();
        }
        for (QWidget* box : std::initializer_list<QWidget*>{field, spin}) {
            const QPoint left = box->mapTo(host.get(), QPoint(0, box->height() / 2));
            EXPECT_GE(edgeContrast(grab, left.x(), left.y()), 3.0) << box->metaObject()->className();
        }
        test::saveGrab(host.get(), QString::fromLatin1(surface.name).replace(QLatin1Char(' '), QLatin1Char('-')));
    }
}

TEST(TarnStyle, ButtonsAndPopUpButtonsAreFlatAndTheDefaultButtonTakesTheAccent)
{
    const Surface sheet = surfaces().constFirst();
    std::unique_ptr<QWidget> host = makeHost(sheet);
    auto* layout = new QHBoxLayout(host.get());
    layout->setContentsMargins(16, 16, 16, 16);
    auto* combo = new QComboBox();
    combo->addItems({QStringLiteral("Tarn Cloud"), QStringLiteral("AWS S3")});
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* save = new QPushButton(QStringLiteral("Save"));
    save->setDefault(true);
    layout->addWidget(combo);
    layout->addStretch(1);
    layout->addWidget(cancel);
    layout->addWidget(save);
    host->resize(420, 70);
    host->show();
    settle();
    const QImage grab = host->grab().toImage();

    const QColor surface = TintedBlurView::surfaceColor(SheetView::tintAlpha);
    for (QWidget* control : std::initializer_list<QWidget*>{combo, cancel, save}) {
        SCOPED_TRACE(control->metaObject()->className());
        const QRect area(control->mapTo(host.get(), QPoint(0, 0)), control->size());
        // Flat: the same fill near the top and near the bottom, beside the text.
        const int x = area.left() + 5;
        EXPECT_TRUE(test::sameColor(grab.pixelColor(x, area.top() + 4), grab.pixelColor(x, area.bottom() - 4), 2));
        // Rounded: the corner pixel is the surface's.
        EXPECT_TRUE(test::sameColor(grab.pixelColor(area.topLeft()), surface, 12));
    }
    const QRect saveArea(save->mapTo(host.get(), QPoint(0, 0)), save->size());
    EXPECT_TRUE(test::sameColor(grab.pixelColor(saveArea.left() + 5, saveArea.center().y()),
                                TarnTheme::color(ThemeColor::controlAccent), 2));
    const QRect cancelArea(cancel->mapTo(host.get(), QPoint(0, 0)), cancel->size());
    EXPECT_FALSE(test::sameColor(grab.pixelColor(cancelArea.left() + 5, cancelArea.center().y()),
                                 TarnTheme::color(ThemeColor::controlAccent), 40));
    test::saveGrab(host.get());

    // The pop-up list: a plain panel of the theme's, the chosen row in the highlight.
    combo->showPopup();
    settle();
    QWidget* popup = combo->view()->window();
    ASSERT_TRUE(popup->isVisible());
    test::saveGrab(popup, QStringLiteral("popup"));
    expectRoundedMask(popup);
    combo->hidePopup();
}

TEST(TarnStyle, MenusAreRoundedPanelsLikeTheirButtons)
{
    auto host = std::make_unique<QWidget>();
    host->resize(300, 200);
    host->show();
    settle();
    QMenu menu(host.get());
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Download"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Rename / Move"));
    menu.popup(host->mapToGlobal(QPoint(20, 20)));
    settle();
    ASSERT_TRUE(menu.isVisible());
    menu.setActiveAction(menu.actions().constFirst());
    settle();
    expectRoundedMask(&menu);
    // Inside the mask the corner is the window behind, not the panel: the grab shows
    // the panel's own rounded fill there.
    const QImage grab = menu.grab().toImage();
    EXPECT_FALSE(test::sameColor(grab.pixelColor(menu.width() / 2, menu.height() / 2),
                                 grab.pixelColor(1, 1), 4));
    test::saveGrab(&menu, QStringLiteral("menu"));
    menu.close();
}

// The area where a focused field's grab differs from its grab without the focus,
// inside the focus ring: what the caret adds.
QRect caretOnGrab(QLineEdit& field)
{
    field.setFocus();
    settle();
    const QImage focused = field.grab().toImage();
    field.clearFocus();
    settle();
    const QImage unfocused = field.grab().toImage();
    QRect changed;
    for (int y = 3; y < focused.height() - 3; ++y) {
        for (int x = 3; x < focused.width() - 3; ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                changed |= QRect(x, y, 1, 1);
            }
        }
    }
    field.setFocus();
    settle();
    return changed;
}

TEST(TarnStyle, ALineEditsCaretIsItsTextColourWhereQtWouldDrawIt)
{
    const test::ScopedCursorFlashTime steady(0);
    auto host = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(host.get());
    // Qt's own caret, in a field of plain Fusion: where the theme's is drawn too.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    auto* plain = new QLineEdit(QStringLiteral("photos 2024"));
    plain->setStyle(fusion.get());
    auto* field = new QLineEdit(QStringLiteral("photos 2024"));
    layout->addWidget(plain);
    layout->addWidget(field);
    host->resize(260, 90);
    host->show();
    QApplication::setActiveWindow(host.get());
    settle();

    plain->setCursorPosition(3);
    const QRect qtCaret = caretOnGrab(*plain);
    EXPECT_EQ(qtCaret, LineEditCaret::caretRect(*plain));

    // The theme's: the same place, in the field's text colour, over the field and over
    // a selection (where inverting would give the selection's opposite).
    field->setCursorPosition(3);
    const QRect caret = caretOnGrab(*field);
    EXPECT_EQ(caret, LineEditCaret::caretRect(*field));
    const QColor text = field->palette().color(QPalette::Text);
    const QColor highlight = field->palette().color(QPalette::Highlight);
    const QColor inverted(255 - highlight.red(), 255 - highlight.green(), 255 - highlight.blue());
    QImage grab = field->grab().toImage();
    for (int y = caret.top(); y <= caret.bottom(); ++y) {
        EXPECT_TRUE(test::sameColor(grab.pixelColor(caret.left(), y), text, 2)) << y;
    }
    field->setSelection(6, -6);
    settle();
    ASSERT_EQ(field->selectedText(), QStringLiteral("photos"));
    const QRect onSelection = LineEditCaret::caretRect(*field);
    grab = field->grab().toImage();
    for (int y = onSelection.top(); y <= onSelection.bottom(); ++y) {
        const QColor pixel = grab.pixelColor(onSelection.left(), y);
        EXPECT_TRUE(test::sameColor(pixel, text, 2)) << y << " " << pixel.name().toStdString();
        EXPECT_FALSE(test::sameColor(pixel, inverted, 40)) << y;
    }
    test::saveGrab(field, QStringLiteral("selected"));
}

}  // namespace
}  // namespace tarn
