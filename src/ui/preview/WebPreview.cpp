#include "ui/preview/WebPreview.h"

#include "app/text/L10n.h"
#include "core/config/MarkdownRenderer.h"
#include "ui/preview/PageBrowser.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewLook.h"
#include "ui/preview/PreviewPages.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/theme/TarnTheme.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace tarn {
namespace {

// The rules under first- and second-level headings: the page's mid-grey at 25 and
// 20 percent come out on the dark pane as white at these.
constexpr qreal kFirstRuleAlpha = 0.11;
constexpr qreal kSecondRuleAlpha = 0.09;

}  // namespace

WebPreview::WebPreview(const QString& path, bool isMarkdown, std::function<void(const QUrl&)> openLink, QWidget* parent)
    : QWidget(parent)
    , m_browser(new PageBrowser(std::move(openLink)))
    , m_pages(nullptr)
{
    PreviewSurface* surface = PreviewSurface::around(m_browser);
    m_pages = new PreviewPages(surface, L10n::t(QStringLiteral("preview_text_failed")));
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

    PreviewPages::Convert convert = PreviewFile::htmlText;
    if (isMarkdown) {
        convert = [style = themeStyle()](const PreviewFile::Start& start) -> std::optional<QString> {
            const std::optional<QString> text = PreviewFile::utf8Text(start);
            if (!text) {
                return std::nullopt;
            }
            return markdownPage(text->toStdString(), style);
        };
    }
    m_pages->loadText(path, PreviewFile::pageDisplayCap, std::move(convert), [this, isMarkdown](const QString& html) {
        m_browser->setHtml(html);
        if (isMarkdown) {
            ruleHeadings(*m_browser->document());
        }
    });
}

bool WebPreview::isLoaded() const
{
    return m_pages->isLoaded();
}

bool WebPreview::showsFailure() const
{
    return m_pages->showsFailure();
}

QString WebPreview::noteText() const
{
    return m_pages->noteText();
}

void WebPreview::stopMedia()
{
    m_pages->stopLoading();
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
