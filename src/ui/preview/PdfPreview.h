#pragma once

#include <QWidget>

class QPdfDocument;
class QPdfView;

namespace tarn {

class PreviewPages;

// A PDF document, every page one under the other, each fitted to the view's width.
// The pages are rendered in the background as they scroll into view. A file that is
// no readable PDF shows the "unsupported" text.
class PdfPreview : public QWidget {
    Q_OBJECT

public:
    explicit PdfPreview(const QString& path, QWidget* parent = nullptr);

    QPdfDocument* document() const { return m_document; }
    QPdfView* view() const { return m_view; }
    bool showsFailure() const;

private:
    QPdfDocument* m_document;
    QPdfView* m_view;
    PreviewPages* m_pages;
};

}  // namespace tarn
