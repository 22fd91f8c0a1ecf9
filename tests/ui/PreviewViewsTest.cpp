#include "app/text/L10n.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/preview/CircularProgressView.h"
#include "ui/preview/FileCardPreview.h"
#include "ui/preview/ImageCanvas.h"
#include "ui/preview/ImageDecoder.h"
#include "ui/preview/ImagePreview.h"
#include "ui/preview/ImageZoomBar.h"
#include "ui/preview/PageBrowser.h"
#include "ui/preview/PdfPageBar.h"
#include "ui/preview/PdfPreview.h"
#include "ui/preview/PreviewChoice.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewNote.h"
#include "ui/preview/TextPreview.h"
#include "ui/preview/WebPreview.h"
#include "ui/theme/TarnTheme.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLocale>
#include <QMovie>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThreadPool>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

namespace tarn {
namespace {

using test::PreviewTestFiles;

// Views in the pane, shown, so that they lay out and paint as in the window.
class PreviewViewsTest : public ::testing::Test {
protected:
    template <class View>
    View* place(View* view, int height)
    {
        view->setFixedHeight(height);
        m_pane.reset(test::makePreviewPane(view));
        m_pane->show();
        return view;
    }

    void TearDown() override { L10n::setLanguageCode(QStringLiteral("zh")); }

    PreviewTestFiles m_files;
    std::unique_ptr<QWidget> m_pane;
};

// A ceiling, not a pace: decoding a page's large images on a loaded machine takes
// seconds.
template <class View>
bool waitLoaded(View* view)
{
    return QTest::qWaitFor([view] { return view->isLoaded(); }, 60000);
}

// Whether the view shows a rendered page: dark strokes with the page's white on both
// sides of them, as text has. A page still being rendered is plain white, and the
// dark around the pages meets their white on one side only.
bool showsRenderedPage(QPdfView* view)
{
    const QImage grab = view->viewport()->grab().toImage();
    const auto white = [&](int x, int y) { return qGray(grab.pixel(x, y)) > 230; };
    constexpr int reach = 4;
    int strokes = 0;
    for (int y = 0; y < grab.height(); ++y) {
        for (int x = reach; x < grab.width() - reach; ++x) {
            if (qGray(grab.pixel(x, y)) > 100) {
                continue;
            }
            bool left = false;
            bool right = false;
            for (int d = 1; d <= reach; ++d) {
                left = left || white(x - d, y);
                right = right || white(x + d, y);
            }
            strokes += left && right ? 1 : 0;
        }
    }
    return strokes > 50;
}

TEST_F(PreviewViewsTest, TextIsShownMonospacedAndAFileNotInUtf8ShowsTheFailureText)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    const QString source = m_files.write(QStringLiteral("main.cpp"),
                                         "// Reads the configuration and starts the window.\n"
                                         "#include <QApplication>\n\n"
                                         "int main(int argc, char** argv)\n{\n"
                                         "    QApplication application(argc, argv);\n"
                                         "    const char* greeting = \"\xE4\xBD\xA0\xE5\xA5\xBD\";  // hello\n"
                                         "    return application.exec();\n}\n");
    auto* text = place(new TextPreview(source), 380);
    ASSERT_TRUE(waitLoaded(text));
    EXPECT_FALSE(text->showsFailure());
    EXPECT_TRUE(text->shownText().contains(QStringLiteral("\u4F60\u597D")));
    EXPECT_TRUE(text->noteText().isEmpty());
    test::saveGrab(m_pane.get());

    auto* latin1 = place(new TextPreview(m_files.write(QStringLiteral("old.txt"), QByteArray("caf\xE9", 4))), 380);
    ASSERT_TRUE(waitLoaded(latin1));
    EXPECT_TRUE(latin1->showsFailure());
    EXPECT_EQ(latin1->shownText(), L10n::t(QStringLiteral("preview_text_failed")));
    test::saveGrab(m_pane.get(), QStringLiteral("failure"));
}

// Latin, Chinese and emoji lines are set in one monospaced face (or fall back to one
// no taller), so every line of the text is as high as every other.
TEST_F(PreviewViewsTest, TextLinesKeepOneHeightWhateverTheirScript)
{
    L10n::setLanguageCode(QStringLiteral("zh"));
    const QString source = m_files.write(QStringLiteral("notes.txt"),
                                         "plain ascii line\n"
                                         "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\x80\xE8\xA1\x8C\n"
                                         "mixed \xE4\xB8\xAD\xE6\x96\x87 and latin\n"
                                         "emoji \xF0\x9F\x98\x80 photo \xF0\x9F\x93\xB7\n"
                                         "last line\n");
    auto* text = place(new TextPreview(source), 380);
    ASSERT_TRUE(waitLoaded(text));
    QPlainTextEdit* view = text->view();
    EXPECT_EQ(QFontInfo(view->font()).family(), TextPreview::monospacedFamily());
    const QFontMetricsF cells(view->font());
    EXPECT_DOUBLE_EQ(cells.horizontalAdvance(QLatin1Char('i')), cells.horizontalAdvance(QLatin1Char('W')));
    QTextDocument* document = view->document();
    ASSERT_GE(document->blockCount(), 5);
    std::vector<qreal> heights;
    for (QTextBlock block = document->begin(); block.isValid() && heights.size() < 5; block = block.next()) {
        ASSERT_NE(block.layout(), nullptr);
        ASSERT_GE(block.layout()->lineCount(), 1);
        heights.push_back(block.layout()->lineAt(0).height());
    }
    for (std::size_t i = 1; i < heights.size(); ++i) {
        EXPECT_DOUBLE_EQ(heights[i], heights[0]) << "line " << i;
    }
    // A CJK glyph is two Latin cells wide.
    EXPECT_DOUBLE_EQ(cells.horizontalAdvance(QStringLiteral("\u4E2D")), 2 * cells.horizontalAdvance(QLatin1Char('a')));
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, ALargeTextShowsItsStartWithANote)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    QByteArray lines;
    for (int i = 0; lines.size() <= PreviewFile::textDisplayCap; ++i) {
        lines += "2026-12-10T17:03:08Z INFO upload part " + QByteArray::number(i) + " of photos/2024/summer.mov done\n";
    }
    auto* text = place(new TextPreview(m_files.write(QStringLiteral("server.log"), lines)), 380);
    ASSERT_TRUE(waitLoaded(text));
    EXPECT_FALSE(text->showsFailure());
    EXPECT_LE(text->shownText().size(), PreviewFile::textDisplayCap);
    EXPECT_TRUE(text->noteText().startsWith(QStringLiteral("Showing the first 4 MB of 4"))) << text->noteText().toStdString();
    test::saveGrab(m_pane.get());

    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_TRUE(PreviewNote::truncationText(1024, 4096).contains(QStringLiteral("1 KB")));
    auto* chinese = place(new TextPreview(m_files.path(QStringLiteral("server.log"))), 380);
    ASSERT_TRUE(waitLoaded(chinese));
    EXPECT_TRUE(chinese->noteText().startsWith(QStringLiteral("仅显示前 4 MB"))) << chinese->noteText().toStdString();
    test::saveGrab(m_pane.get(), QStringLiteral("zh"));
}

TEST_F(PreviewViewsTest, MarkdownRendersHeadingsReadablyOnTheDarkTheme)
{
    const QString path = m_files.write(QStringLiteral("README.md"),
                                       "# Tarn Manager\n\n"
                                       "A desktop client for **S3-compatible** storage, with `previews` of *many* kinds.\n\n"
                                       "## 安装\n\n"
                                       "- Debian 12 and Qt 6.4\n- GStreamer for audio and video\n\n"
                                       "> Objects in a bucket are untrusted: a preview never runs them.\n\n"
                                       "See [the guide](https://example.com/guide) or ![logo](logo.png).\n\n"
                                       "```\nscripts/test -L ui\n```\n");
    m_files.png(QStringLiteral("logo.png"), QSize(8, 8));
    auto* page = place(new WebPreview(path, true, {}), 420);
    ASSERT_TRUE(waitLoaded(page));
    QTextDocument* document = page->browser()->document();
    std::vector<int> headingLevels;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0) {
            headingLevels.push_back(block.blockFormat().headingLevel());
            // Light text on the dark pane, not the page's own dark text for light backgrounds.
            EXPECT_GT(block.charFormat().foreground().color().lightness(), 180) << block.text().toStdString();
            // And in the interface's font, which draws Chinese and Latin alike.
            EXPECT_EQ(block.begin().fragment().charFormat().fontFamilies().toStringList(),
                      QStringList{TarnTheme::fontFamily()});
        }
    }
    EXPECT_EQ(headingLevels, (std::vector<int>{1, 2}));
    EXPECT_TRUE(document->toPlainText().contains(QStringLiteral("Tarn Manager")));
    // The image beside the file is not read: the page may come from anywhere.
    EXPECT_EQ(page->browser()->refusedResources(), page->browser()->requestedResources());
    EXPECT_EQ(page->browser()->refusedResources().size(), 1);
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, MarkdownLinesAreSpacedByTheirSizeAndTheTopHeadingsCarryARule)
{
    const QString path = m_files.write(QStringLiteral("notes.md"),
                                       "# 旅行笔记\n\n"
                                       "Photos from August, sorted by day, with a few words on each place we stayed "
                                       "and how long the walk from the station took. 八月的照片，按日期整理。\n\n"
                                       "## Day 1\n\n### Harbour\n\n- one\n- two\n");
    auto* page = place(new WebPreview(path, true, {}), 320);
    ASSERT_TRUE(waitLoaded(page));
    QTextDocument* document = page->browser()->document();
    document->documentLayout()->documentSize();
    bool measured = false;
    std::vector<int> ruled;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
            ruled.push_back(level);
        }
        const QTextLayout* layout = block.layout();
        if (level == 0 && layout->lineCount() >= 2) {
            // 13-pixel text at a line height of 1.6: about 21 pixels from line to line.
            const qreal spacing = layout->lineAt(1).y() - layout->lineAt(0).y();
            EXPECT_NEAR(spacing, 13 * 1.6, 1.0);
            measured = true;
        }
        if (level > 0) {
            // A heading keeps its font's own spacing, not 1.3 times that.
            EXPECT_LE(layout->lineAt(0).height(), QFontMetricsF(block.charFormat().font()).lineSpacing() + 1)
                << block.text().toStdString();
        }
    }
    EXPECT_TRUE(measured) << "the paragraph should wrap at this width";
    EXPECT_EQ(ruled, (std::vector<int>{1, 2}));
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, AnHtmlPageRunsNothingAndFetchesNothing)
{
    m_files.png(QStringLiteral("beside.png"), QSize(16, 16));
    m_files.write(QStringLiteral("style.css"), "p { color: red; }");
    // A one-pixel PNG carried in the page itself.
    const QByteArray embedded = "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk"
                                "+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";
    const QString path = m_files.write(
        QStringLiteral("report.html"),
        "<html><head><title>Report</title><script>document.write('ran')</script>"
        "<style>@import url(style.css); @import url(file:///etc/hosts);</style></head><body>"
        "<h1>Quarterly report</h1><p>Prepared for the team. <a href=\"https://example.com/q3\">Details</a>, "
        "<a href=\"file:///etc/passwd\">local</a>, <a href=\"javascript:alert(1)\">script</a>.</p>"
        "<img src=\"file:///etc/passwd\"><img src=\"http://127.0.0.1:9/track.png\" width=\"20\" height=\"20\">"
        "<img src=\"beside.png\"><img src=\"" + embedded + "\" width=\"12\" height=\"12\">"
        "<script>alert('ran')</script><p>End of report.</p></body></html>");
    std::vector<QUrl> opened;
    auto* page = place(new WebPreview(path, false, [&opened](const QUrl& url) { opened.push_back(url); }), 420);
    ASSERT_TRUE(waitLoaded(page));
    QApplication::processEvents();
    PageBrowser* browser = page->browser();
    const QString text = browser->document()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Quarterly report")));
    EXPECT_FALSE(text.contains(QStringLiteral("ran")));
    EXPECT_FALSE(text.contains(QStringLiteral("root:")));

    const QList<QUrl> expectedRefused{QUrl(QStringLiteral("style.css")), QUrl(QStringLiteral("file:///etc/hosts")),
                                      QUrl(QStringLiteral("file:///etc/passwd")),
                                      QUrl(QStringLiteral("http://127.0.0.1:9/track.png")),
                                      QUrl(QStringLiteral("beside.png"))};
    for (const QUrl& url : expectedRefused) {
        EXPECT_TRUE(browser->refusedResources().contains(url)) << url.toString().toStdString();
    }
    // Refused once each, not at every layout; only the embedded image was served.
    EXPECT_EQ(browser->refusedResources().size(), expectedRefused.size());
    EXPECT_EQ(browser->requestedResources().size(), expectedRefused.size() + 1);
    EXPECT_EQ(browser->requestedResources().last().scheme(), QStringLiteral("data"));

    // Links open in the browser only when clicked, and only for the web.
    EXPECT_TRUE(opened.empty());
    emit browser->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
    emit browser->anchorClicked(QUrl(QStringLiteral("javascript:alert(1)")));
    emit browser->anchorClicked(QUrl(QStringLiteral("https://example.com/q3")));
    emit browser->anchorClicked(QUrl(QStringLiteral("HTTP://example.com/upper")));
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://example.com/q3")));
    EXPECT_EQ(browser->source(), QUrl());
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, AnImageEmbeddedInAPageMayNotUnpackIntoAHugeOne)
{
    // A few hundred kilobytes of PNG that would decode into 67 MB.
    QImage huge(4100, 4100, QImage::Format_RGB32);
    huge.fill(Qt::transparent);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(huge.save(&buffer, "PNG"));
    ASSERT_LT(png.size(), 400 * 1024);
    const QString path = m_files.write(QStringLiteral("bomb.html"),
                                       "<p>Small page</p><img src=\"data:image/png;base64," + png.toBase64() + "\">");
    auto* page = place(new WebPreview(path, false, {}), 420);
    ASSERT_TRUE(waitLoaded(page));
    QApplication::processEvents();
    EXPECT_EQ(page->browser()->refusedResources().size(), 1);
}

// Pages a text browser would take seconds or minutes to lay out on the interface
// thread show their source instead; pages within its means show as pages.
TEST_F(PreviewViewsTest, APageBeyondWhatCanBeLaidOutShowsItsSourceWithANote)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    const auto nestedTables = [](int depth) {
        QByteArray page = "<html><body>";
        for (int i = 0; i < depth; ++i) {
            page += "<table border=\"1\"><tr><td>level " + QByteArray::number(i);
        }
        for (int i = 0; i < depth; ++i) {
            page += "</td></tr></table>";
        }
        return page + "</body></html>";
    };
    QByteArray deepList;
    for (int i = 0; deepList.size() < 500 * 1024; ++i) {
        deepList += QByteArray(i % 16, ' ') + "- level " + QByteArray::number(i) + "\n";
    }
    QByteArray shallowList;
    for (int i = 0; i < 500; ++i) {
        shallowList += QByteArray(i, ' ') + "- level " + QByteArray::number(i) + "\n";
    }
    const QByteArray longLine = "<p>" + QByteArray(30000, 'w') + "</p>";
    struct Case {
        const char* name;
        QByteArray content;
        bool asSource;
    };
    const Case cases[] = {
        {"nested-40.html", nestedTables(40), true},
        {"nested-6.html", nestedTables(6), false},
        {"deep-list.md", deepList, true},
        {"shallow-list.md", shallowList, false},
        {"long-line.html", longLine, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LE(c.content.size(), PreviewFile::pageDisplayCap);
        const QString name = QString::fromLatin1(c.name);
        auto* page = place(new WebPreview(m_files.write(name, c.content), name.endsWith(QLatin1String(".md")), {}), 420);
        // Parsed in the background, which a busy machine may take its time over.
        ASSERT_TRUE(QTest::qWaitFor([page] { return page->isLoaded(); }, 60000));
        EXPECT_FALSE(page->showsFailure());
        EXPECT_EQ(page->showsSource(), c.asSource);
        if (!c.asSource) {
            EXPECT_TRUE(page->noteText().isEmpty());
            EXPECT_TRUE(page->browser()->document()->toPlainText().contains(QStringLiteral("level 5")));
            continue;
        }
        EXPECT_TRUE(page->noteText().startsWith(L10n::t(QStringLiteral("preview_page_as_source"))));
        const QString source = page->sourceView()->toPlainText();
        EXPECT_TRUE(source.startsWith(QString::fromUtf8(c.content.left(40)))) << source.left(60).toStdString();
        // The source is bounded too: no line longer than a view lays out at once,
        // and not more lines than it takes in at once.
        const QStringList lines = source.split(QLatin1Char('\n'));
        EXPECT_LE(lines.size(), WebPreview::sourceLines);
        for (const QString& line : lines) {
            ASSERT_LE(line.size(), WebPreview::sourceLineLength);
        }
        if (QByteArrayView(c.name) == "nested-40.html") {
            test::saveGrab(m_pane.get());
        }
    }
    // Cut to its first lines, the source says how much of the file it shows.
    auto* list = place(new WebPreview(m_files.path(QStringLiteral("deep-list.md")), true, {}), 420);
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isLoaded(); }, 60000));
    EXPECT_TRUE(list->noteText().contains(QStringLiteral("Showing the first"))) << list->noteText().toStdString();
    EXPECT_EQ(list->sourceView()->toPlainText().count(QLatin1Char('\n')), WebPreview::sourceLines - 1);
}

// Several large images carried in a page: decoded before the page is laid out, and
// only as many as fit together in the page's budget.
TEST_F(PreviewViewsTest, APagesEmbeddedImagesAreBoundedTogetherAndDecodedBeforeLayout)
{
    // Each decodes to 16 MiB; four fit in the budget, the fifth does not.
    QByteArray page = "<p>Gallery</p>";
    for (int i = 0; i < 5; ++i) {
        QImage image(2048, 2048, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 60, 200, 200));
        QByteArray png;
        QBuffer buffer(&png);
        ASSERT_TRUE(image.save(&buffer, "PNG"));
        page += "<p><img src=\"data:image/png;base64," + png.toBase64() + "\"></p>";
    }
    ASSERT_LE(page.size(), PreviewFile::pageDisplayCap);
    auto* preview = place(new WebPreview(m_files.write(QStringLiteral("gallery.html"), page), false, {}), 420);
    ASSERT_TRUE(waitLoaded(preview));
    QApplication::processEvents();
    preview->browser()->viewport()->repaint();
    // The view lays a long page out a piece at a time, from the event loop: the last
    // images are asked for once it gets to them.
    ASSERT_TRUE(QTest::qWaitFor([preview] { return preview->browser()->requestedResources().size() >= 5; }, 60000));
    const QList<QUrl> requested = preview->browser()->requestedResources();
    const QList<QUrl> refused = preview->browser()->refusedResources();
    ASSERT_EQ(requested.size(), 5);
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.front(), requested.back()) << "the last one is left out";
    // What the page was given is ready to draw: nothing was decoded while it was laid out.
    const QVariant served = preview->browser()->document()->resource(QTextDocument::ImageResource, requested.front());
    EXPECT_EQ(served.userType(), QMetaType::QPixmap);
    EXPECT_EQ(qvariant_cast<QPixmap>(served).size(), QSize(2048, 2048));
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, APdfShowsAllItsPagesFittedToTheWidth)
{
    const auto ready = [](PdfPreview* view) {
        return view->document() != nullptr && view->document()->status() == QPdfDocument::Status::Ready;
    };
    auto* pdf = place(new PdfPreview(m_files.pdf(QStringLiteral("manual.pdf"), 3)), 460);
    // The file is read off the main thread: the view starts without it.
    EXPECT_FALSE(ready(pdf));
    EXPECT_FALSE(pdf->showsFailure());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(pdf); }, 5000));
    EXPECT_FALSE(pdf->showsFailure());
    EXPECT_EQ(pdf->document()->pageCount(), 3);
    EXPECT_EQ(pdf->view()->document(), pdf->document());
    EXPECT_EQ(pdf->view()->pageMode(), QPdfView::PageMode::MultiPage);
    EXPECT_FALSE(pdf->pageBar()->isVisible());
    // Rendering happens in the background: the grab waits for the pages to show.
    EXPECT_TRUE(QTest::qWaitFor([pdf] { return showsRenderedPage(pdf->view()); }, 10000));
    test::saveGrab(m_pane.get());

    auto* broken = place(new PdfPreview(m_files.write(QStringLiteral("broken.pdf"), "%PDF-1.4 nothing else")), 460);
    EXPECT_FALSE(broken->showsFailure()) << "blank while it loads";
    EXPECT_TRUE(QTest::qWaitFor([broken] { return broken->showsFailure(); }, 5000));

    // A preview that goes while its file loads leaves nothing behind to deliver to.
    delete new PdfPreview(m_files.pdf(QStringLiteral("gone.pdf"), 40));
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
}

TEST_F(PreviewViewsTest, ALongPdfShowsOnePageAtATimeWithAPageControl)
{
    // Every page laid out one under the other would cost the main thread a moment per
    // page, at every resize: a long document turns its pages instead.
    const int pages = PdfPreview::multiPageLimit + 1;
    auto* pdf = place(new PdfPreview(m_files.pdf(QStringLiteral("long.pdf"), pages)), 460);
    ASSERT_TRUE(QTest::qWaitFor([pdf] { return pdf->isLoaded(); }, 10000));
    ASSERT_FALSE(pdf->showsFailure());
    EXPECT_EQ(pdf->view()->pageMode(), QPdfView::PageMode::SinglePage);
    ASSERT_TRUE(pdf->pageBar()->isVisible());
    const QString count = QString::number(pages);
    EXPECT_EQ(pdf->pageBar()->pageText(), QStringLiteral("1 / ") + count);
    const QList<QToolButton*> buttons = pdf->pageBar()->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 2);
    QToolButton* previous = buttons.front();
    QToolButton* next = buttons.back();
    EXPECT_FALSE(previous->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(pdf->currentPage(), 2);
    EXPECT_EQ(pdf->pageBar()->pageText(), QStringLiteral("3 / ") + count);
    QTest::mouseClick(previous, Qt::LeftButton);
    EXPECT_EQ(pdf->pageBar()->pageText(), QStringLiteral("2 / ") + count);
    pdf->showPage(pages + 10);
    EXPECT_EQ(pdf->pageBar()->pageText(), count + QStringLiteral(" / ") + count);
    EXPECT_FALSE(next->isEnabled());
    pdf->showPage(0);
    EXPECT_TRUE(QTest::qWaitFor([pdf] { return showsRenderedPage(pdf->view()); }, 10000));
    test::saveGrab(m_pane.get());
}

TEST_F(PreviewViewsTest, AnAnimationTooLargeToPlayShowsItsFirstFrameWithANote)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    const QSize size(1100, 1000);
    ASSERT_GT(qint64{size.width()} * size.height(), ImagePreview::maxAnimatedPixels);
    auto* still = place(new ImagePreview(m_files.animatedGif(QStringLiteral("huge.gif"), size)), 340);
    ASSERT_TRUE(waitLoaded(still));
    EXPECT_FALSE(still->showsFailure());
    EXPECT_FALSE(still->isAnimated()) << "its frames would be decoded on the interface thread";
    EXPECT_EQ(still->shownImage().size(), size);
    EXPECT_EQ(still->noteText(), L10n::t(QStringLiteral("preview_animation_still")));
    test::saveGrab(m_pane.get());

    auto* small = place(new ImagePreview(m_files.animatedGif(QStringLiteral("small.gif"), QSize(1024, 1024))), 340);
    ASSERT_TRUE(waitLoaded(small));
    EXPECT_TRUE(small->isAnimated());
    EXPECT_TRUE(small->noteText().isEmpty());
    small->stopMedia();
}

TEST_F(PreviewViewsTest, ImagesFitZoomAndAnimate)
{
    auto* image = place(new ImagePreview(m_files.png(QStringLiteral("photo.png"), QSize(640, 480))), 340);
    ASSERT_TRUE(waitLoaded(image));
    EXPECT_EQ(image->shownImage().size(), QSize(640, 480));
    EXPECT_FALSE(image->isAnimated());
    EXPECT_DOUBLE_EQ(image->zoom(), 1.0);
    test::saveGrab(m_pane.get());
    image->setZoom(20);
    EXPECT_DOUBLE_EQ(image->zoom(), 8.0);
    image->setZoom(0.2);
    EXPECT_DOUBLE_EQ(image->zoom(), 1.0);
    image->setZoom(2);
    test::saveGrab(m_pane.get(), QStringLiteral("zoomed"));

    auto* rotated = place(new ImagePreview(m_files.jpegWithOrientation(QStringLiteral("p.jpg"), QSize(300, 200), 6)), 340);
    ASSERT_TRUE(waitLoaded(rotated));
    EXPECT_EQ(rotated->shownImage().size(), QSize(200, 300));
    test::saveGrab(m_pane.get(), QStringLiteral("rotated"));

    auto* animated = place(new ImagePreview(m_files.animatedGif(QStringLiteral("blink.gif"), QSize(60, 40))), 340);
    ASSERT_TRUE(waitLoaded(animated));
    ASSERT_TRUE(animated->isAnimated());
    EXPECT_EQ(animated->movie()->state(), QMovie::Running);
    const QRgb first = animated->shownImage().pixel(0, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return animated->shownImage().pixel(0, 0) != first; }, 2000));
    // Nobody sees it while its pane is hidden: it waits.
    m_pane->hide();
    EXPECT_EQ(animated->movie()->state(), QMovie::Paused);
    m_pane->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pane.get()));
    EXPECT_EQ(animated->movie()->state(), QMovie::Running);
    animated->stopMedia();
    EXPECT_EQ(animated->movie()->state(), QMovie::NotRunning);

    L10n::setLanguageCode(QStringLiteral("en"));
    auto* heic = place(new ImagePreview(m_files.write(QStringLiteral("x.heic"), QByteArray("\0\0\0\x18" "ftypheic", 12))), 340);
    ASSERT_TRUE(waitLoaded(heic));
    EXPECT_TRUE(heic->showsFailure());
    EXPECT_EQ(heic->failureText(), L10n::t(QStringLiteral("preview_unsupported")));
}

TEST_F(PreviewViewsTest, TheZoomPillTellsTheScaleTheImageIsDrawnAt)
{
    // 100 % is one pixel of the image file on one pixel of the screen: a 975-pixel
    // image fitted to the pane is drawn about a third of its size and says so.
    const auto drawnWidth = [](ImagePreview* image) { return image->findChild<ImageCanvas*>()->imageRect().width(); };
    const auto percent = [](qreal scale) { return QStringLiteral("%1%").arg(std::lround(scale * 100)); };
    auto* image = place(new ImagePreview(m_files.png(QStringLiteral("wide.png"), QSize(975, 650))), 340);
    ASSERT_TRUE(waitLoaded(image));
    ASSERT_LT(drawnWidth(image), 400);
    EXPECT_EQ(image->zoomText(), percent(drawnWidth(image) / 975));
    EXPECT_NE(image->zoomText(), QStringLiteral("100%"));
    test::saveGrab(m_pane.get());
    image->setZoom(2);
    EXPECT_EQ(image->zoomText(), percent(drawnWidth(image) / 975));
    test::saveGrab(m_pane.get(), QStringLiteral("zoomed"));
    // The zoom that draws each pixel once reads 100 %.
    image->setZoom(image->zoom() / image->shownScale());
    EXPECT_NEAR(drawnWidth(image), 975, 1);
    EXPECT_EQ(image->zoomText(), QStringLiteral("100%"));

    // A small image fitted to the pane is drawn larger than it is.
    auto* icon = place(new ImagePreview(m_files.png(QStringLiteral("icon.png"), QSize(32, 32))), 340);
    ASSERT_TRUE(waitLoaded(icon));
    EXPECT_EQ(icon->zoomText(), percent(drawnWidth(icon) / 32));
    EXPECT_GT(drawnWidth(icon) / 32, 2.0);

    // An image beyond the decoder's 4,096 pixels is decoded smaller; the scale still
    // counts the file's own pixels.
    auto* large = place(new ImagePreview(m_files.png(QStringLiteral("panorama.png"), QSize(8192, 1024))), 340);
    ASSERT_TRUE(waitLoaded(large));
    ASSERT_EQ(large->shownImage().width(), ImageDecoder::maxSide);
    EXPECT_EQ(large->zoomText(), percent(drawnWidth(large) / 8192));
    EXPECT_EQ(ImageZoomBar::percentText(0.004), QStringLiteral("<1%"));
}

TEST_F(PreviewViewsTest, TheFileCardOffersTheDefaultApplication)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    std::vector<std::filesystem::path> opened;
    FileCardPreview::File file;
    file.key = "backups/2024/site-backup.zip";
    file.mimeType = "application/zip";
    file.size = 5 * 1024 * 1024 + 300 * 1024;
    file.localCopy = "/tmp/preview/site-backup.zip";
    const int height = PreviewChoice::height(PreviewKind::file);
    auto* card = place(new FileCardPreview(file, [&opened](const std::filesystem::path& path) { opened.push_back(path); }),
                       height);
    EXPECT_EQ(card->nameText(), QStringLiteral("site-backup.zip"));
    EXPECT_TRUE(card->detailText().endsWith(QStringLiteral(" · 5.3 MB"))) << card->detailText().toStdString();
    ASSERT_NE(card->openButton(), nullptr);
    EXPECT_EQ(card->openButton()->text(), QStringLiteral("Open with Default Application"));
    card->openButton()->click();
    EXPECT_EQ(opened, std::vector<std::filesystem::path>{file.localCopy});
    test::saveGrab(m_pane.get());

    // In Chinese (the program sets the default locale with the language), the type's
    // description comes from the system's type database in Chinese too.
    L10n::setLanguageCode(QStringLiteral("zh"));
    const QLocale previousLocale;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    file.key = "photos/raw/IMG_0042.CR3";
    file.mimeType = "application/zip";
    auto* chinese = place(new FileCardPreview(file, [](const std::filesystem::path&) {}), height);
    EXPECT_TRUE(chinese->detailText().contains(QStringLiteral("归档"))) << chinese->detailText().toStdString();
    test::saveGrab(m_pane.get(), QStringLiteral("zh"));
    QLocale::setDefault(previousLocale);

    file.localCopy.clear();
    auto* remote = place(new FileCardPreview(file, [](const std::filesystem::path&) {}), height);
    EXPECT_EQ(remote->openButton(), nullptr);
    EXPECT_EQ(FileCardPreview::typeDescription("application/x-no-such-type"), QStringLiteral("application/x-no-such-type"));
}

TEST_F(PreviewViewsTest, TheDownloadRingShowsWholePercents)
{
    auto* ring = place(new CircularProgressView(), 200);
    EXPECT_EQ(ring->text(), QStringLiteral("0%"));
    ring->apply(0.456);
    EXPECT_EQ(ring->text(), QStringLiteral("45%"));
    test::saveGrab(m_pane.get());
    ring->apply(1.7);
    EXPECT_EQ(ring->text(), QStringLiteral("100%"));
    EXPECT_DOUBLE_EQ(ring->fraction(), 1.0);
    ring->apply(-1);
    EXPECT_EQ(ring->text(), QStringLiteral("0%"));
    ring->apply(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(ring->text(), QStringLiteral("100%"));
}

}  // namespace
}  // namespace tarn
