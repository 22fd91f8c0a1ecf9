#include "ui/preview/WebPreview.h"

#include "app/text/L10n.h"
#include "core/preview/MarkdownRenderer.h"
#include "ui/preview/BackgroundLoad.h"
#include "ui/preview/EmbeddedImages.h"
#include "ui/preview/PageBounds.h"
#include "ui/preview/PageBrowser.h"
#include "ui/preview/PageDocument.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewLook.h"
#include "ui/preview/PreviewNote.h"
#include "ui/preview/PreviewPages.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/preview/TextPreview.h"
#include "ui/theme/TarnTheme.h"

#include <QFontDatabase>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include <memory>
#include <optional>
#include <utility>

namespace tarn {
namespace {

// The rules under first- and second-level headings: the page's mid-grey at 25 and
// 20 percent come out on the dark pane as white at these.
constexpr qreal kFirstRuleAlpha = 0.11;
constexpr qreal kSecondRuleAlpha = 0.09;

// What a view sets on its own document, for a document made for it elsewhere.
struct DocumentLook {
    QFont font;
    QTextOption option;
    qreal margin = 0;

    static DocumentLook of(const QTextDocument& document)
    {
        return {document.defaultFont(), document.defaultTextOption(), document.documentMargin()};
    }
    void applyTo(QTextDocument& document) const
    {
        document.setDefaultFont(font);
        document.setDefaultTextOption(option);
        document.setDocumentMargin(margin);
    }
};

// What is made off the interface thread for it: the page (a PageDocument) and its
// images, or the page's source as plain text.
struct Made {
    std::unique_ptr<QTextDocument> document;
    QHash<QUrl, QImage> images;
};

// A background result is copied: the copies share what was made, and the view that
// takes it owns it, alone (an image shared would be copied again to be drawn). The
// document belongs to no thread meanwhile, so it may go wherever it is dropped.
using Carried = std::shared_ptr<Made>;

Carried carried(std::unique_ptr<QTextDocument> document, QHash<QUrl, QImage> images = {})
{
    document->moveToThread(nullptr);
    return std::make_shared<Made>(Made{std::move(document), std::move(images)});
}

// Takes what was made over on the calling thread; nothing when it was taken already.
Made arrived(const Carried& made, QThread* thread)
{
    if (!made || !made->document) {
        return {};
    }
    made->document->moveToThread(thread);
    return std::move(*made);
}

struct PageLoad {
    bool failed = true;
    bool asSource = false;
    Carried made;
    QString note;
};

// At most sourceLines lines of at most sourceLineLength characters each; the count of
// characters of `text` they show.
QString shownSource(const QString& text, qsizetype& shown)
{
    QString lines;
    int count = 0;
    shown = 0;
    qsizetype start = 0;
    while (start <= text.size() && count < WebPreview::sourceLines) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0) {
            end = text.size();
        }
        const qsizetype length = std::min<qsizetype>(end - start, WebPreview::sourceLineLength);
        if (count > 0) {
            lines += QLatin1Char('\n');
        }
        lines += QStringView(text).mid(start, length);
        ++count;
        // A line cut for its length goes on on the next one.
        start = length < end - start ? start + length : end + 1;
        shown = std::min(start, text.size());
    }
    return lines;
}

// Lines that hold more than white space.
int filledLines(const QString& text)
{
    int lines = 0;
    bool filled = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            lines += filled ? 1 : 0;
            filled = false;
        } else if (!c.isSpace()) {
            filled = true;
        }
    }
    return lines + (filled ? 1 : 0);
}

QString joinedNotes(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty()) {
        return first + second;
    }
    return first + QLatin1Char(' ') + second;
}

// Everything but the layout: read, render, parse, measure, decode the images, or
// prepare the source. Runs off the interface thread.
PageLoad loadPage(const QString& path, bool isMarkdown, const QString& style, const DocumentLook& pageLook,
                  const DocumentLook& sourceLook)
{
    PageLoad load;
    const PreviewFile::Start start = PreviewFile::read(path, PreviewFile::pageDisplayCap);
    const std::optional<QString> text =
        isMarkdown ? PreviewFile::utf8Text(start) : std::optional<QString>(PreviewFile::htmlText(start));
    if (!text) {
        return load;
    }
    load.failed = false;

    // Each line of Markdown with words on it is a paragraph at least: one of more such
    // lines than a page may hold is not worth the parsing.
    std::unique_ptr<PageDocument> page;
    if (!isMarkdown || filledLines(*text) <= PageBounds::maxBlocks) {
        page = std::make_unique<PageDocument>();
        pageLook.applyTo(*page);
        page->setHtml(isMarkdown ? WebPreview::markdownPage(text->toStdString(), style) : *text);
    }
    if (page && PageBounds::of(*page).withinBounds()) {
        QHash<QUrl, QImage> images = EmbeddedImages::decode(*page);
        load.made = carried(std::move(page), std::move(images));
        if (start.truncated()) {
            load.note = PreviewNote::truncationText(start.bytes.size(), start.fileSize);
        }
        return load;
    }

    page.reset();
    qsizetype shown = 0;
    const QString source = shownSource(*text, shown);
    auto plain = std::make_unique<QTextDocument>();
    plain->setDocumentLayout(new QPlainTextDocumentLayout(plain.get()));
    sourceLook.applyTo(*plain);
    plain->setPlainText(source);
    load.asSource = true;
    load.made = carried(std::move(plain));
    load.note = L10n::t(QStringLiteral("preview_page_as_source"));
    if (start.truncated() || shown < text->size()) {
        const qint64 shownBytes = shown < text->size() ? text->first(shown).toUtf8().size() : start.bytes.size();
        load.note = joinedNotes(load.note, PreviewNote::truncationText(shownBytes, start.fileSize));
    }
    return load;
}

}  // namespace

WebPreview::WebPreview(const QString& path, bool isMarkdown, std::function<void(const QUrl&)> openLink, QWidget* parent)
    : QWidget(parent)
    , m_browser(new PageBrowser(std::move(openLink)))
    , m_source(TextPreview::makeView())
    , m_faces(new QStackedWidget())
    , m_pages(nullptr)
{
    PreviewSurface* surface = PreviewSurface::around(m_browser);
    m_faces->addWidget(surface);
    m_faces->addWidget(PreviewSurface::around(m_source));
    m_pages = new PreviewPages(m_faces, L10n::t(QStringLiteral("preview_text_failed")));
    m_browser->setFrameShape(QFrame::NoFrame);
    m_browser->viewport()->setAutoFillBackground(false);
    m_browser->document()->setDocumentMargin(12);
    m_browser->setFont(TarnTheme::font(13));
    const bool paper = !isMarkdown;
    if (paper) {
        surface->setFillColor(TarnTheme::color(ThemeColor::pageBackground));
    }
    QPalette palette = m_browser->palette();
    const QColor link = TarnTheme::color(paper ? ThemeColor::systemBlue : ThemeColor::link);
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Link, link);
    palette.setColor(QPalette::LinkVisited, link);
    m_browser->setPalette(palette);
    PreviewLook::setTextColor(m_browser, paper ? ThemeColor::pageText : ThemeColor::label);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    auto load = [path, isMarkdown, style = isMarkdown ? themeStyle() : QString(),
                 pageLook = DocumentLook::of(*m_browser->document()),
                 sourceLook = DocumentLook::of(*m_source->document())] {
        return loadPage(path, isMarkdown, style, pageLook, sourceLook);
    };
    m_pendingLoad = loadInBackground(this, load, [this, isMarkdown](const PageLoad& result) {
        m_loaded = true;
        Made made = arrived(result.made, thread());
        if (result.failed || !made.document) {
            m_pages->showFailure();
            return;
        }
        if (result.asSource) {
            made.document->setParent(m_source);
            m_source->setDocument(made.document.release());
            m_faces->setCurrentIndex(1);
        } else if (auto* page = qobject_cast<PageDocument*>(made.document.get())) {
            made.document.release();
            if (isMarkdown) {
                ruleHeadings(*page);
            }
            m_browser->showPage(std::unique_ptr<PageDocument>(page), std::move(made.images));
        }
        m_pages->showContent(result.note);
    });
}

bool WebPreview::showsFailure() const
{
    return m_pages->showsFailure();
}

bool WebPreview::showsSource() const
{
    return m_loaded && !showsFailure() && m_faces->currentIndex() == 1;
}

QString WebPreview::noteText() const
{
    return m_pages->noteText();
}

void WebPreview::stopMedia()
{
    delete m_pendingLoad;
}

QString WebPreview::markdownPage(std::string_view markdown, const QString& themeStyle)
{
    QString page = QString::fromStdString(MarkdownRenderer::html(markdown));
    // The theme's rules name one element more than the page's, so they win whatever
    // the order (a text browser does not let the later of two equal rules win).
    const qsizetype headEnd = page.indexOf(QLatin1String("</head>"));
    page.insert(headEnd < 0 ? 0 : headEnd, themeStyle);
    return page;
}

void WebPreview::ruleHeadings(QTextDocument& document)
{
    // A text browser draws no border under a block, but it draws a block's trailing
    // ruler at its bottom edge, in the block's background colour when it has one
    // (without filling the block with it).
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level != 1 && level != 2) {
            continue;
        }
        QTextBlockFormat rule;
        rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                         QTextLength(QTextLength::PercentageLength, 100));
        rule.setBackground(TarnTheme::color(ThemeColor::separator, level == 1 ? kFirstRuleAlpha : kSecondRuleAlpha));
        QTextCursor(block).mergeBlockFormat(rule);
    }
}

QString WebPreview::themeStyle()
{
    using PreviewLook::cssColor;
    // The font goes on every element: a text browser lets an element's inherited font
    // family come from the page's own body rule, whatever the weight of ours.
    // A text browser takes a line height without a unit as a share of the font's own
    // line spacing, which for a CJK face is about 1.45 times its size: the page's 1.6
    // would set 13-pixel text 30 pixels apart. In pixels it is what the page means
    // (1.6 × 13), given to every element as the font is; headings keep their font's
    // own spacing, the nearest a text browser comes to their 1.3 without cutting glyphs.
    return QStringLiteral("<style>html body{color:%1;}html body *{font-family:'%2';line-height:20.8px;}"
                          "html body h1,html body h2,html body h3,html body h4,html body h5,html body h6"
                          "{line-height:100%;}body a{color:%3;}"
                          "body blockquote{color:%4;}html body code,html body pre{font-family:'%5';}</style>")
        .arg(cssColor(TarnTheme::color(ThemeColor::label)), TarnTheme::fontFamily(),
             cssColor(TarnTheme::color(ThemeColor::link)), cssColor(TarnTheme::color(ThemeColor::secondaryLabel)),
             QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
}

}  // namespace tarn
