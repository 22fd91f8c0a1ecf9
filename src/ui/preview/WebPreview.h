#pragma once

#include "ui/preview/StoppablePreview.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <string_view>

class QTextDocument;

namespace tarn {

class PageBrowser;
class PreviewPages;

// A Markdown or HTML file shown as a page. The file is read (and Markdown rendered
// through the core's renderer) off the interface thread; only its first 512 KiB is shown,
// with a note saying so. Markdown is drawn on the dark theme; an HTML page on white
// paper, as its author would have seen it in a browser. The page runs nothing and
// fetches nothing (PageBrowser).
class WebPreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    WebPreview(const QString& path, bool isMarkdown, std::function<void(const QUrl&)> openLink,
               QWidget* parent = nullptr);

    PageBrowser* browser() const { return m_browser; }
    bool isLoaded() const;
    bool showsFailure() const;
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

private:
    PageBrowser* m_browser;
    PreviewPages* m_pages;
};

}  // namespace tarn
