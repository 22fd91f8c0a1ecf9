#include "app/AppStateTestAccess.h"
#include "ui/ContentFixture.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/inspector/InspectorView.h"
#include "ui/preview/PreviewHost.h"
#include "ui/preview/WebPreview.h"
#include "ui/window/InspectorContainer.h"

#include <QTest>

#include <gtest/gtest.h>

namespace tarn {
namespace {

// The inspector in the window, as the program builds it.
class InspectorWindowTest : public test::ContentFixture {
protected:
    void SetUp() override
    {
        m_sample = test::sampleAccounts(false);
        useConfig(m_sample.config);
    }

    InspectorView* inspector() { return qobject_cast<InspectorView*>(content().inspectorContainer()->inspector()); }

    test::SampleAccounts m_sample;
    test::PreviewTestFiles m_files;
};

TEST_F(InspectorWindowTest, TheWindowsInspectorShowsTheSelection)
{
    ASSERT_NE(inspector(), nullptr);
    for (const char* language : {"zh", "en"}) {
        build(QString::fromLatin1(language));
        AppStateTestAccess::showListing(state(), m_sample.photos.id, m_sample.photos.id, "",
                                        {{"cover.jpg", 1200}, {"notes.md", 300}}, {{"2024/"}, {"raw/"}});
        // A change of the selection asks the state to refresh the inspector; what its
        // preview then reaches without a stored secret is its own business, so the
        // test lets it end before publishing a ready file of its own.
        state().setSelectedObjectKeys({"notes.md"});
        settle();
        EXPECT_EQ(inspector()->currentLayout(), InspectorView::Layout::object);
        QTest::qWait(200);

        const QString page = m_files.write(QStringLiteral("notes.md"),
                                           "# Trip notes\n\nPhotos from **August**, sorted by day.\n\n"
                                           "- Day 1: harbour\n- Day 2: hills\n");
        AppStateTestAccess::setInlinePreviewState(state(),
                                                  InlinePreviewState::ready("notes.md", QUrl::fromLocalFile(page)));
        settle();
        auto* web = qobject_cast<WebPreview*>(inspector()->previewContent());
        ASSERT_NE(web, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([web] { return web->isLoaded(); }, 5000));
        test::saveGrab(&window(), QString::fromLatin1(language));

        // A folder, then nothing: the refresh follows each change of the selection.
        state().setSelectedObjectKeys({"2024/"});
        settle();
        EXPECT_EQ(inspector()->currentLayout(), InspectorView::Layout::folder);
        EXPECT_EQ(inspector()->previews()->cachedPreview(), nullptr);
        state().setSelectedObjectKeys({});
        settle();
        EXPECT_EQ(inspector()->currentLayout(), InspectorView::Layout::empty);
    }
}

}  // namespace
}  // namespace tarn
