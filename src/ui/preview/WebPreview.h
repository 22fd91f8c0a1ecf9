#pragma once

#include "ui/preview/StoppablePreview.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <string_view>

class QPlainTextEdit;
class QStackedWidget;
class QTextDocument;

namespace tarn {

class PageBrowser;
class PreviewPages;

// A Markdown or HTML file shown as a page. The file is read, Markdown rendered through
// the core's renderer, the page parsed and its embedded images decoded, all off the
// interface thread, which only lays the page out. Only its first 512 KiB is shown,
// with a note saying so; a page beyond what can be laid out without holding up the
// window (PageBounds) shows its source as plain text instead, with a note. Markdown
// is drawn on the dark theme; an HTML page on white paper, as its author would have
// seen it in a browser. The page runs nothing and fetches nothing (PageBrowser).
class WebPreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    WebPreview(const QString& path, bool isMarkdown, std::function<void(const QUrl&)> openLink,
               QWidget* parent = nullptr);

    PageBrowser* browser() const { return m_browser; }
    // Where the source is shown in place of a page too complex to lay out.
    QPlainTextEdit* sourceView() const { return m_source; }
    bool isLoaded() const { return m_loaded; }
    bool showsFailure() const;
    bool showsSource() const;
    QString noteText() const;

    void stopMedia() override;

    // The core's Markdown page with `themeStyle` after its own style sheet, whose dark
    // colours a text browser cannot select (it knows no colour-scheme queries).
    static QString markdownPage(std::string_view markdown, const QString& themeStyle);
    // The theme's text and link colours, fonts and line spacing as a style element.
    // Interface thread only (it asks for the system's fonts).
    static QString themeStyle();
    // Draws the hairline a Markdown page asks for under its first- and second-level
    // headings, which a text browser would leave out.
    static void ruleHeadings(QTextDocument& document);

    // The most of a page's source shown in its place: lines of at most this many
    // characters (longer ones are broken), at most this many of them.
    static constexpr int sourceLineLength = 2000;
    static constexpr int sourceLines = 10000;

private:
    PageBrowser* m_browser;
    QPlainTextEdit* m_source;
    QStackedWidget* m_faces;
    PreviewPages* m_pages;
    QPointer<QObject> m_pendingLoad;
    bool m_loaded = false;
};

}  // namespace tarn
