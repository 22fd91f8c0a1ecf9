#include "ui/preview/PdfPreview.h"

#include "app/text/L10n.h"
#include "ui/preview/PreviewPages.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/theme/TarnTheme.h"

#include <QPdfDocument>
#include <QPdfView>
#include <QVBoxLayout>

namespace tarn {

PdfPreview::PdfPreview(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_document(new QPdfDocument(this))
    , m_view(new QPdfView())
    // Inset far enough that the view's square corners stay inside the rounded ones.
    , m_pages(new PreviewPages(PreviewSurface::around(m_view, 4), L10n::t(QStringLiteral("preview_unsupported"))))
{
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_view->setPageSpacing(8);
    m_view->setDocumentMargins(QMargins(4, 4, 4, 4));
    // The view fills the space around the pages with the palette's dark colour: the
    // surface's own, so the two read as one.
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Dark, TarnTheme::color(ThemeColor::textBackground));
    m_view->setPalette(palette);
    m_view->setDocument(m_document);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    if (m_document->load(path) == QPdfDocument::Error::None) {
        m_pages->showContent();
    } else {
        m_pages->showFailure();
    }
}

bool PdfPreview::showsFailure() const
{
    return m_pages->showsFailure();
}

}  // namespace tarn
