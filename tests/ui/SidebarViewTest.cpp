#include "ui/ContentFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "ui/sidebar/HoverFadeLogoView.h"
#include "ui/sidebar/SidebarDelegate.h"
#include "ui/sidebar/SidebarModel.h"
#include "ui/sidebar/SidebarTree.h"
#include "ui/sidebar/SidebarView.h"
#include "ui/theme/MakerSite.h"
#include "ui/theme/TarnTheme.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

class SidebarViewTest : public test::ContentFixture {
protected:
    SidebarTree& tree() { return *sidebar().tree(); }
    SidebarModel& model() { return *sidebar().model(); }

    // The list as it reads, one line per row: group titles as shown, rows indented,
    // a bucket's star as "*" when it is a favourite.
    QStringList outline()
    {
        QStringList lines;
        for (int g = 0; g < model().rowCount(); ++g) {
            const QModelIndex group = model().index(g, 0);
            lines.append(group.data().toString());
            for (int r = 0; r < model().rowCount(group); ++r) {
                const QModelIndex row = model().index(r, 0, group);
                lines.append(QStringLiteral("  ") + row.data().toString() +
                             (row.data(SidebarModel::favoriteRole).toBool() ? QStringLiteral(" *") : QString()));
            }
        }
        return lines;
    }

    QModelIndex row(const QString& group, const QString& text)
    {
        for (int g = 0; g < model().rowCount(); ++g) {
            const QModelIndex header = model().index(g, 0);
            if (header.data().toString() != group) {
                continue;
            }
            for (int r = 0; r < model().rowCount(header); ++r) {
                if (model().index(r, 0, header).data().toString() == text) {
                    return model().index(r, 0, header);
                }
            }
        }
        ADD_FAILURE() << "no row " << text.toStdString() << " in " << group.toStdString();
        return {};
    }

    QModelIndex selectedRow()
    {
        const QModelIndexList rows = tree().selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first() : QModelIndex();
    }

    void click(const QModelIndex& index, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        clickAt(tree().visualRect(index).center(), button, modifiers);
    }

    void clickAt(const QPoint& point, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(tree().viewport(), button, modifiers, point);
        settle();
    }
};

TEST_F(SidebarViewTest, ListsOneGroupPerAccountInUpperCaseAndAnAccountWithoutBucketsAsAHeaderAlone)
{
    useConfig(test::sampleAccounts(false).config);
    EXPECT_EQ(outline(), (QStringList{QStringLiteral("CORVANE TARN"), QStringLiteral("  photos"),
                                      QStringLiteral("  backups"), QStringLiteral("  设计稿"),
                                      QStringLiteral("ALIYUN OSS"), QStringLiteral("  archive"),
                                      QStringLiteral("  logs"), QStringLiteral("TENCENT COS")}));
    // Every group is open; a header is never selectable.
    for (int g = 0; g < model().rowCount(); ++g) {
        EXPECT_TRUE(tree().isExpanded(model().index(g, 0)));
        EXPECT_FALSE(model().index(g, 0).flags().testFlag(Qt::ItemIsSelectable));
    }
    click(model().index(0, 0));
    EXPECT_FALSE(selectedRow().isValid());
    EXPECT_FALSE(state().selectedBucketID().has_value());
}

TEST_F(SidebarViewTest, FavouritesComeFirstWithFilledOrangeStarsInBothOfTheirRows)
{
    const test::SampleAccounts sample = test::sampleAccounts(true);
    useConfig(sample.config);
    EXPECT_EQ(outline(), (QStringList{QStringLiteral("FAVORITES"), QStringLiteral("  archive *"),
                                      QStringLiteral("  photos *"), QStringLiteral("FAVORITE FOLDERS"),
                                      QStringLiteral("  photos / summer trip"), QStringLiteral("CORVANE TARN"),
                                      QStringLiteral("  photos *"), QStringLiteral("  backups"),
                                      QStringLiteral("  设计稿"), QStringLiteral("ALIYUN OSS"),
                                      QStringLiteral("  archive *"), QStringLiteral("  logs"),
                                      QStringLiteral("TENCENT COS")}));

    // The star is painted filled in the system orange for a favourite, and not for others.
    const QImage image = tree().viewport()->grab().toImage();
    auto hasOrangeStar = [&](const QModelIndex& index) {
        const QRect star = SidebarDelegate::layout(tree().visualRect(index), true).star;
        for (int y = star.top(); y <= star.bottom(); ++y) {
            for (int x = star.left(); x <= star.right(); ++x) {
                if (test::sameColor(image.pixelColor(x, y), TarnTheme::color(ThemeColor::systemOrange), 24)) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(hasOrangeStar(row(QStringLiteral("FAVORITES"), QStringLiteral("photos"))));
    EXPECT_TRUE(hasOrangeStar(row(QStringLiteral("CORVANE TARN"), QStringLiteral("photos"))));
    EXPECT_FALSE(hasOrangeStar(row(QStringLiteral("CORVANE TARN"), QStringLiteral("backups"))));
}

TEST_F(SidebarViewTest, TheStarTogglesTheFavouriteAndTheGearEditsTheBucketWithoutSelectingTheRow)
{
    const test::SampleAccounts sample = test::sampleAccounts(false);
    useConfig(sample.config);
    const QModelIndex logs = row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs"));
    const SidebarDelegate::Layout parts = SidebarDelegate::layout(tree().visualRect(logs), true);

    clickAt(parts.star.center());
    ASSERT_EQ(state().config().favoriteBucketIDs, std::vector<Uuid>{sample.logs.id});
    EXPECT_EQ(outline().mid(0, 2), (QStringList{QStringLiteral("FAVORITES"), QStringLiteral("  logs *")}));
    EXPECT_FALSE(state().selectedBucketID().has_value());

    const QModelIndex backups = row(QStringLiteral("CORVANE TARN"), QStringLiteral("backups"));
    clickAt(SidebarDelegate::layout(tree().visualRect(backups), true).gear.center());
    ASSERT_TRUE(state().editingBucket().has_value());
    EXPECT_EQ(state().editingBucket()->id, sample.backups.id);
    EXPECT_TRUE(state().showingBucketEditor());
    EXPECT_FALSE(state().selectedBucketID().has_value());
    EXPECT_FALSE(selectedRow().isValid());

    // The favourite's star in the favourites group takes it away again.
    clickAt(SidebarDelegate::layout(tree().visualRect(row(QStringLiteral("FAVORITES"), QStringLiteral("logs"))), true)
                .star.center());
    EXPECT_TRUE(state().config().favoriteBucketIDs.empty());
    EXPECT_EQ(outline().first(), QStringLiteral("CORVANE TARN"));
}

TEST_F(SidebarViewTest, AFavouriteFolderOpensItsFolderAndTheHighlightMovesToItsBucket)
{
    const test::SampleAccounts sample = test::sampleAccounts(true);
    useConfig(sample.config);
    click(row(QStringLiteral("FAVORITE FOLDERS"), QStringLiteral("photos / summer trip")));

    EXPECT_EQ(state().selectedBucketID(), sample.photos.id);
    EXPECT_EQ(state().currentPrefix(), sample.favoriteFolder);
    // A favourite bucket's row is the one among the favourites.
    EXPECT_EQ(selectedRow(), row(QStringLiteral("FAVORITES"), QStringLiteral("photos")));

    // A bucket row opens the bucket at its root.
    click(row(QStringLiteral("CORVANE TARN"), QStringLiteral("backups")));
    EXPECT_EQ(state().selectedBucketID(), sample.backups.id);
    EXPECT_EQ(state().currentPrefix(), "");
    EXPECT_EQ(selectedRow(), row(QStringLiteral("CORVANE TARN"), QStringLiteral("backups")));
}

TEST_F(SidebarViewTest, TheSelectionFollowsTheStateAndIsClearedWhenNoBucketIsShown)
{
    const test::SampleAccounts sample = test::sampleAccounts(true);
    useConfig(sample.config);
    QSignalSpy switches(&state(), &AppState::selectedBucketIDChanged);

    state().switchBucket(sample.logs.id, {});
    settle();
    EXPECT_EQ(selectedRow(), row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs")));
    state().switchBucket(sample.archive.id, {});
    settle();
    EXPECT_EQ(selectedRow(), row(QStringLiteral("FAVORITES"), QStringLiteral("archive")));

    state().switchBucket(std::nullopt, {});
    settle();
    EXPECT_TRUE(tree().selectionModel()->selectedRows().isEmpty());
    // Following the state never switches it again.
    EXPECT_EQ(switches.count(), 3);
    EXPECT_FALSE(state().selectedBucketID().has_value());

    // A bucket in a closed group leaves the selection as it is...
    state().switchBucket(sample.logs.id, {});
    settle();
    tree().collapse(model().index(2, 0));
    AppStateTestAccess::showListing(state(), sample.designs.id, sample.designs.id, {}, {});
    settle();
    EXPECT_EQ(selectedRow(), row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs")));
    // ...until the next reload opens every group again.
    useConfig(state().config());
    EXPECT_TRUE(tree().isExpanded(model().index(2, 0)));
    EXPECT_EQ(selectedRow(), row(QStringLiteral("CORVANE TARN"), QStringLiteral("设计稿")));
}

TEST_F(SidebarViewTest, EveryGroupOpensAgainAfterEachReload)
{
    const test::SampleAccounts sample = test::sampleAccounts(true);
    useConfig(sample.config);
    for (int g : {0, 2, 3}) {
        tree().collapse(model().index(g, 0));
    }
    // A publication that changes no row (a setting elsewhere) reloads the list too.
    AppConfig config = state().config();
    config.languageCode = config.languageCode == "en" ? "zh" : "en";
    useConfig(config);
    for (int g = 0; g < model().rowCount(); ++g) {
        EXPECT_TRUE(tree().isExpanded(model().index(g, 0))) << g;
    }
}

TEST_F(SidebarViewTest, TheUserCannotClearTheSelection)
{
    const test::SampleAccounts sample = test::sampleAccounts(false);
    useConfig(sample.config);
    const QModelIndex photos = row(QStringLiteral("CORVANE TARN"), QStringLiteral("photos"));
    click(photos);
    ASSERT_EQ(selectedRow(), photos);
    QSignalSpy switches(&state(), &AppState::selectedBucketIDChanged);

    click(photos, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(selectedRow(), photos);
    // Below the last row, on a header, with the right button on another row, by
    // dragging over rows: nothing changes.
    clickAt(QPoint(40, tree().viewport()->height() - 4));
    click(model().index(1, 0));
    click(row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs")), Qt::RightButton);
    QTest::mousePress(tree().viewport(), Qt::LeftButton, {}, tree().visualRect(photos).center());
    QMouseEvent drag(QEvent::MouseMove, QPointF(tree().visualRect(model().index(1, 0, model().index(0, 0))).center()),
                     tree().viewport()->mapToGlobal(tree().visualRect(photos).center()), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(tree().viewport(), &drag);
    QTest::mouseRelease(tree().viewport(), Qt::LeftButton, {}, tree().visualRect(photos).center());
    settle();

    EXPECT_EQ(selectedRow(), photos);
    EXPECT_EQ(state().selectedBucketID(), sample.photos.id);
    EXPECT_EQ(switches.count(), 0);
}

TEST_F(SidebarViewTest, TheMenuActsOnTheRowClicked)
{
    const test::SampleAccounts sample = test::sampleAccounts(true);
    useConfig(sample.config);
    state().switchBucket(sample.photos.id, {});
    settle();

    const std::unique_ptr<QMenu> bucketMenu(sidebar().makeContextMenu(row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs"))));
    ASSERT_NE(bucketMenu, nullptr);
    QStringList titles;
    for (const QAction* action : bucketMenu->actions()) {
        titles.append(action->text());
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Settings"), QStringLiteral("Favorite"), QStringLiteral("Test Connection")}));
    bucketMenu->actions().at(0)->trigger();
    EXPECT_EQ(state().editingBucket()->id, sample.logs.id);
    bucketMenu->actions().at(1)->trigger();
    EXPECT_EQ(state().config().favoriteBucketIDs.front(), sample.logs.id);
    EXPECT_EQ(state().selectedBucketID(), sample.photos.id);

    const std::unique_ptr<QMenu> folderMenu(
        sidebar().makeContextMenu(row(QStringLiteral("FAVORITE FOLDERS"), QStringLiteral("photos / summer trip"))));
    ASSERT_NE(folderMenu, nullptr);
    ASSERT_EQ(folderMenu->actions().size(), 1);
    EXPECT_EQ(folderMenu->actions().at(0)->text(), QStringLiteral("Remove from Favorites"));
    folderMenu->actions().at(0)->trigger();
    EXPECT_TRUE(state().config().favoriteDirectories.empty());

    EXPECT_EQ(sidebar().makeContextMenu(model().index(0, 0)), nullptr);
    EXPECT_EQ(sidebar().makeContextMenu({}), nullptr);
}

TEST_F(SidebarViewTest, ABucketRenamedKeepsTheListAndAChangedListKeepsTheSelectionAndScroll)
{
    test::SampleAccounts sample = test::sampleAccounts(false);
    for (int i = 0; i < 40; ++i) {
        sample.config.profiles[1].bucketNames.push_back("bucket-" + std::to_string(100 + i));
    }
    useConfig(sample.config);
    click(row(QStringLiteral("ALIYUN OSS"), QStringLiteral("logs")));
    QScrollBar* scroll = tree().verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 300);
    scroll->setValue(300);
    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);

    // Only a name changes: the rows are changed in place.
    sample.config.bucketSettings[sample.logs.id.toString()].displayName = "server logs";
    useConfig(sample.config);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(selectedRow(), row(QStringLiteral("ALIYUN OSS"), QStringLiteral("server logs")));
    EXPECT_EQ(scroll->value(), 300);

    // New rows (a favourite and a bucket sync's find): the list is built anew, the
    // selection and the scroll position stay.
    sample.config.profiles[0].bucketNames.push_back("fresh");
    useConfig(sample.config);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(selectedRow(), row(QStringLiteral("ALIYUN OSS"), QStringLiteral("server logs")));
    EXPECT_EQ(scroll->value(), 300);
}

// A bucket's name is the imported file's or the user's words: its tooltip shows them
// as written, not as markup.
TEST_F(SidebarViewTest, TheTooltipOfACutNameShowsItAsWritten)
{
    test::SampleAccounts sample = test::sampleAccounts(false);
    const QString name = QStringLiteral("<font size=6 color=red>a very long bucket name</font> <b>with markup</b>");
    sample.config.bucketSettings[sample.logs.id.toString()].displayName = name.toStdString();
    useConfig(sample.config);
    const QModelIndex logs = row(QStringLiteral("ALIYUN OSS"), name);
    const QPoint at = tree().visualRect(logs).center() - QPoint(20, 0);
    QHelpEvent help(QEvent::ToolTip, at, tree().viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree().viewport(), &help);
    ASSERT_TRUE(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), name);
    QToolTip::hideText();
}

TEST_F(SidebarViewTest, ALongListCanBeScrolledOutFromUnderTheLogoAndAShortOneCannot)
{
    test::SampleAccounts sample = test::sampleAccounts(false);
    useConfig(sample.config);
    EXPECT_EQ(tree().bottomInset(), 0);

    for (int i = 0; i < 40; ++i) {
        sample.config.profiles[2].bucketNames.push_back("bucket-" + std::to_string(100 + i));
    }
    useConfig(sample.config);
    const int reserve = sidebar().logo()->height() + SidebarView::logoBottomGap + 10;
    EXPECT_EQ(tree().bottomInset(), reserve);
    tree().verticalScrollBar()->setValue(tree().verticalScrollBar()->maximum());
    settle();
    const QModelIndex group = model().index(2, 0);
    const QRect last = tree().visualRect(model().index(model().rowCount(group) - 1, 0, group));
    const int logoTop = tree().viewport()->mapFrom(&sidebar(), sidebar().logo()->pos()).y();
    EXPECT_LE(last.bottom(), logoTop);
}

TEST_F(SidebarViewTest, TheLogoFadesUnderThePointerAndWithoutASiteLetsClicksThrough)
{
    HoverFadeLogoView& logo = *sidebar().logo();
    EXPECT_DOUBLE_EQ(logo.imageAlpha(), HoverFadeLogoView::restAlpha);
    // No site is configured by default: a click on the logo opens nothing and
    // reaches the list under it.
    EXPECT_FALSE(logo.hasOnClick());
    EXPECT_TRUE(logo.testAttribute(Qt::WA_TransparentForMouseEvents));
    const QPoint onLogo = tree().viewport()->mapFrom(&sidebar(), logo.geometry().center());
    QTest::mouseMove(tree().viewport(), onLogo);
    settle();
    EXPECT_DOUBLE_EQ(logo.imageAlpha(), HoverFadeLogoView::hoverAlpha);
    QTest::mouseMove(tree().viewport(), QPoint(onLogo.x(), 10));
    settle();
    EXPECT_DOUBLE_EQ(logo.imageAlpha(), HoverFadeLogoView::restAlpha);
    clickAt(onLogo);
    EXPECT_TRUE(m_ui.openedUrls.empty());
}

TEST(MakerSite, OnlyAWebAddressWithAHostIsASite)
{
    EXPECT_TRUE(MakerSite::url().isEmpty());  // none is set in the build
    EXPECT_TRUE(MakerSite::fromSetting(QString()).isEmpty());
    EXPECT_TRUE(MakerSite::fromSetting(QStringLiteral("tarn.example")).isEmpty());
    EXPECT_TRUE(MakerSite::fromSetting(QStringLiteral("ftp://tarn.example")).isEmpty());
    EXPECT_TRUE(MakerSite::fromSetting(QStringLiteral("https://")).isEmpty());
    EXPECT_EQ(MakerSite::fromSetting(QStringLiteral(" https://tarn.example/about ")),
              QUrl(QStringLiteral("https://tarn.example/about")));
}

TEST(HoverFadeLogoView, AClickInsideRunsItsActionAndTheWheelScrollsTheList)
{
    QWidget host;
    host.resize(300, 400);
    auto* list = new SidebarTree(&host);
    auto* rows = new SidebarModel(list);
    std::vector<SidebarNode> buckets;
    for (int i = 0; i < 60; ++i) {
        BucketConfig bucket;
        bucket.id = Uuid::random();
        bucket.displayName = "bucket " + std::to_string(i);
        buckets.push_back(SidebarNode::bucketRow(bucket));
    }
    rows->setNodes({SidebarNode::group(QStringLiteral("Account"), "profile:1", buckets)}, {});
    list->setModel(rows);
    list->expandAll();
    list->setGeometry(0, 0, 300, 400);
    auto* logo = new HoverFadeLogoView(QImage(), &host);
    logo->setGeometry(20, 300, 200, 60);
    logo->setScrollForwardTarget(list);
    int clicks = 0;
    logo->setOnClick([&clicks] { ++clicks; });
    host.show();

    QTest::mouseClick(logo, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    QTest::mousePress(logo, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(logo, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_EQ(clicks, 1);

    QWheelEvent wheel(QPointF(10, 10), logo->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(logo, &wheel);
    EXPECT_GT(list->verticalScrollBar()->value(), 0);
}

TEST_F(SidebarViewTest, GrabsOfSeveralAccountsWithFavourites)
{
    test::SampleAccounts sample = test::sampleAccounts(true);
    // A name too long for the pane is cut with an ellipsis before the star.
    sample.config.profiles[2].bucketNames = {"company-archive-2019-2024-cold-storage"};
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh")}) {
        build(language);
        useConfig(sample.config);
        state().switchBucket(sample.backups.id, {});
        settle();
        // The selection of the list without focus (the browser has it), then with.
        test::saveGrab(&sidebar(), language + QStringLiteral("-unfocused"));
        tree().setFocus();
        settle();
        test::saveGrab(&sidebar(), language + QStringLiteral("-focused"), 2.0);
        EXPECT_EQ(selectedRow(), row(model().index(2, 0).data().toString(), QStringLiteral("backups")));
    }
}

}  // namespace
}  // namespace tarn
