#include "ui/ContentFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "ui/views/SegmentedControl.h"
#include "ui/window/MainToolbar.h"
#include "ui/window/SeparatorSplitter.h"
#include "ui/window/TripleSplitView.h"
#include "ui/window/WindowCommands.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn {
namespace {

using Command = WindowCommands::Command;

class MainToolbarTest : public test::ContentFixture {
protected:
    void SetUp() override
    {
        m_sample = test::sampleAccounts(false);
        useConfig(m_sample.config);
    }

    // A folder of the photos bucket on screen, with these keys selected.
    void showFolder(const KeySet& selected)
    {
        AppStateTestAccess::showListing(state(), m_sample.photos.id, m_sample.photos.id, "",
                                        {{"cover.jpg", 1200}, {"notes.md", 300}}, {{"2024/"}, {"raw/"}});
        state().setSelectedObjectKeys(selected);
        settle();
    }

    // Whether each segment of the object actions can be clicked, in order: upload,
    // new folder, download, share, delete.
    std::vector<bool> fileSegments()
    {
        std::vector<bool> enabled;
        for (int segment = 0; segment < toolbar().fileActions()->segmentCount(); ++segment) {
            enabled.push_back(toolbar().fileActions()->segmentAction(segment)->isEnabled());
        }
        return enabled;
    }

    void clickSegment(SegmentedControl* control, int segment)
    {
        QTest::mouseClick(control, Qt::LeftButton, {}, control->segmentRect(segment).center());
        settle();
    }

    bool enabled(SegmentedControl* control) { return control->segmentAction(0)->isEnabled(); }

    test::SampleAccounts m_sample;
};

TEST_F(MainToolbarTest, EnabledStatesFollowTheBucketAndTheSelection)
{
    const struct {
        const char* name;
        bool bucket;
        KeySet selected;
        std::vector<bool> segments;
    } cases[] = {
        {"no bucket", false, {}, {false, false, false, false, false}},
        {"nothing selected", true, {}, {true, true, false, false, false}},
        {"folders only", true, {"2024/", "raw/"}, {true, true, true, false, true}},
        {"one object", true, {"notes.md"}, {true, true, true, true, true}},
        {"objects and a folder", true, {"cover.jpg", "notes.md", "raw/"}, {true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bucket) {
            showFolder(c.selected);
        } else {
            state().switchBucket(std::nullopt, {});
            settle();
        }
        EXPECT_EQ(fileSegments(), c.segments);
        EXPECT_EQ(enabled(toolbar().refreshButton()), c.bucket);
        EXPECT_EQ(enabled(toolbar().multipartButton()), c.bucket);
        EXPECT_TRUE(enabled(toolbar().inspectorButton()));
        EXPECT_EQ(content().commands()->action(Command::renameMove)->isEnabled(), !c.selected.empty());
    }
}

TEST_F(MainToolbarTest, BackAndForwardFollowTheFoldersVisited)
{
    showFolder({});
    SegmentedControl* navigation = toolbar().navigation();
    EXPECT_FALSE(navigation->segmentAction(0)->isEnabled());
    EXPECT_FALSE(navigation->segmentAction(1)->isEnabled());

    state().enterPrefix("2024/");
    settle();
    EXPECT_TRUE(navigation->segmentAction(0)->isEnabled());
    EXPECT_FALSE(navigation->segmentAction(1)->isEnabled());

    clickSegment(navigation, 0);
    EXPECT_FALSE(state().canGoBack());
    EXPECT_FALSE(navigation->segmentAction(0)->isEnabled());
    EXPECT_TRUE(navigation->segmentAction(1)->isEnabled());
    clickSegment(navigation, 1);
    EXPECT_TRUE(state().canGoBack());
}

TEST_F(MainToolbarTest, TheSegmentsRaiseTheirSheetsAndUploadOffersFilesOrAFolder)
{
    showFolder({"notes.md", "raw/"});
    SegmentedControl* actions = toolbar().fileActions();
    clickSegment(actions, 1);
    EXPECT_TRUE(state().showingNewFolder());
    clickSegment(actions, 3);
    EXPECT_TRUE(state().showingShareSheet());
    clickSegment(actions, 4);
    EXPECT_TRUE(state().showingDeleteConfirm());

    // The desktop's file dialog takes files or a folder, so upload asks which.
    QTest::mousePress(actions, Qt::LeftButton, {}, actions->segmentRect(0).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        entries.append(action->text());
    }
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Upload Files…"), QStringLiteral("Upload Folder…")}));
    menu->close();
    QTest::mouseRelease(actions, Qt::LeftButton, {}, actions->segmentRect(0).center());
    settle();

    // A disabled segment takes no click.
    state().setShowingShareSheet(false);
    state().setSelectedObjectKeys({"raw/"});
    settle();
    clickSegment(actions, 3);
    EXPECT_FALSE(state().showingShareSheet());
}

TEST_F(MainToolbarTest, ASegmentIsNoLongerLitOnceItsMenuClosesWithThePointerElsewhere)
{
    showFolder({"notes.md"});
    SegmentedControl* actions = toolbar().fileActions();
    const QPoint upload = actions->segmentRect(0).center();
    QTest::mouseMove(actions, upload);
    EXPECT_EQ(actions->hoveredSegment(), 0);
    QTest::mousePress(actions, Qt::LeftButton, {}, upload);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actions->pressedSegment(), 0);

    // The pointer goes down into the menu, which then closes (an entry chosen, or
    // Escape): the control heard of no leaving.
    QCursor::setPos(menu->mapToGlobal(menu->rect().center()));
    menu->close();
    settle();
    EXPECT_EQ(actions->pressedSegment(), -1);
    EXPECT_EQ(actions->hoveredSegment(), -1);

    // Closed with the pointer still on the segment, it stays lit as any hovered one.
    QCursor::setPos(actions->mapToGlobal(upload));
    QTest::mousePress(actions, Qt::LeftButton, {}, upload);
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    menu->close();
    settle();
    EXPECT_EQ(actions->hoveredSegment(), 0);
    EXPECT_EQ(actions->pressedSegment(), -1);
}

TEST_F(MainToolbarTest, TheLeadingSpaceFollowsTheSidebarsWidth)
{
    auto dividerInToolbar = [&] {
        const QWidget* sidebar = content().sidebar();
        return toolbar().mapFrom(&window(), sidebar->mapTo(&window(), QPoint(sidebar->width(), 0))).x();
    };
    const int handle = content().splitter()->handleWidth();
    EXPECT_EQ(toolbar().leadingWidth(), dividerInToolbar() + handle);
    // The controls start a small gap right of the divider, over the browser.
    const int navigationLeft = toolbar().navigation()->mapTo(&toolbar(), QPoint(0, 0)).x();
    EXPECT_EQ(navigationLeft, dividerInToolbar() + handle + MainToolbar::controlSpacing);

    QList<int> sizes = content().splitter()->sizes();
    sizes[1] += sizes[0] - 290;
    sizes[0] = 290;
    content().splitter()->setSizes(sizes);
    settle();
    EXPECT_EQ(content().sidebar()->width(), 290);
    EXPECT_EQ(toolbar().leadingWidth(), dividerInToolbar() + handle);
}

TEST_F(MainToolbarTest, APaneReachesTheCommandsOfItsOwnContent)
{
    QWidget* inBrowser = new QWidget(content().browser());
    EXPECT_EQ(WindowCommands::of(inBrowser), content().commands());
    EXPECT_EQ(WindowCommands::of(&toolbar()), nullptr);
    QWidget elsewhere;
    EXPECT_EQ(WindowCommands::of(&elsewhere), nullptr);
}

TEST_F(MainToolbarTest, GrabsWithoutABucketAndWithObjectsSelected)
{
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh")}) {
        build(language);
        state().switchBucket(std::nullopt, {});
        settle();
        test::saveGrab(&toolbar(), language + QStringLiteral("-no-bucket"));
        // A folder entered (back can be clicked) with an object selected.
        showFolder({});
        state().enterPrefix("2024/");
        showFolder({"notes.md"});
        test::saveGrab(&toolbar(), language + QStringLiteral("-objects"), 2.0);
        test::saveGrab(&window(), language + QStringLiteral("-window"));
        EXPECT_EQ(fileSegments(), (std::vector<bool>{true, true, true, true, true}));
        EXPECT_TRUE(toolbar().navigation()->segmentAction(0)->isEnabled());
        EXPECT_EQ(toolbar().fileActions()->segmentAction(0)->toolTip(), L10n::t(QStringLiteral("upload")));
    }
}

}  // namespace
}  // namespace tarn
