#pragma once

#include "ui/preview/StoppablePreview.h"

#include <QWidget>

#include <memory>

class QPdfDocument;
class QPdfView;

namespace tarn {

class PdfPageBar;
class PreviewPages;

// A PDF document, every page one under the other, each fitted to the view's width.
// The file is read off the main thread (a large or damaged file takes the PDF library
// seconds to make sense of, and counting its pages is part of that) and shown once
// read; the pages are rendered in the background as they scroll into view. Laying the
// pages out one under the other asks the library for the size of every page, on the
// main thread and again at every resize: a document of more than multiPageLimit pages
// (a small file can hold hundreds of thousands) is shown one page at a time instead,
// with a page control under it. A file that is no readable PDF shows the
// "unsupported" text. A document is closed off the main thread too: closing waits
// for the library, which another document may be holding while it loads.
class PdfPreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    // The most pages laid out one under the other.
    static constexpr int multiPageLimit = 50;

    explicit PdfPreview(const QString& path, QWidget* parent = nullptr);
    ~PdfPreview() override;

    // Null until the file has been read, and when it could not be.
    QPdfDocument* document() const { return m_document; }
    QPdfView* view() const { return m_view; }
    bool isLoaded() const { return m_loaded; }
    bool showsFailure() const;
    // Shown for a document of more than multiPageLimit pages.
    PdfPageBar* pageBar() const { return m_pageBar; }
    // The page shown one at a time, from 0; moves within the document.
    int currentPage() const;
    void showPage(int page);

    // Drops a document still being read.
    void stopMedia() override;

signals:
    void loaded();

private:
    struct Handoff;

    // Takes the document the reader left, or shows the failure when there is none.
    void takeDocument();

    QPdfView* m_view;
    PreviewPages* m_pages;
    PdfPageBar* m_pageBar;
    QPdfDocument* m_document = nullptr;
    std::shared_ptr<Handoff> m_handoff;
    bool m_loaded = false;
};

}  // namespace tarn
