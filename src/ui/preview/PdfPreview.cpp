#include "ui/preview/PdfPreview.h"

#include "app/text/L10n.h"
#include "ui/preview/PdfPageBar.h"
#include "ui/preview/PreviewPages.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/theme/TarnTheme.h"

#include <QCoreApplication>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <utility>

namespace tarn {

// What the reader on the pool hands to the preview on the main thread.
struct PdfPreview::Handoff {
    std::mutex mutex;
    // The preview went, or stopped waiting: the reader disposes of what it read.
    bool abandoned = false;
    bool delivered = false;
    // Read, and already moved to the main thread; null when the file was no PDF.
    QPdfDocument* document = nullptr;
};

namespace {

// Closes a document on the pool: the library's lock may be held for seconds by a
// document loading elsewhere, and the main thread must not wait for it.
void disposeOf(QPdfDocument* document)
{
    if (document == nullptr) {
        return;
    }
    document->setParent(nullptr);
    document->moveToThread(nullptr);
    QThreadPool::globalInstance()->start([document] { delete document; });
}

}  // namespace

PdfPreview::PdfPreview(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_view(new QPdfView())
    // Inset far enough that the view's square corners stay inside the rounded ones.
    , m_pages(new PreviewPages(PreviewSurface::around(m_view, 4), L10n::t(QStringLiteral("preview_unsupported"))))
    , m_pageBar(new PdfPageBar(this))
    , m_handoff(std::make_shared<Handoff>())
{
    m_pageBar->hide();
    connect(m_pageBar, &PdfPageBar::previousClicked, this, [this] { showPage(currentPage() - 1); });
    connect(m_pageBar, &PdfPageBar::nextClicked, this, [this] { showPage(currentPage() + 1); });
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_pages, 1);
    // Under the page rather than over it, so it hides nothing of it.
    layout->addWidget(m_pageBar, 0, Qt::AlignHCenter);

    // The document is made and read on the pool, then moved to the main thread; the
    // preview is told through the application, which outlives it.
    QThread* mainThread = thread();
    const QPointer<PdfPreview> self(this);
    QThreadPool::globalInstance()->start([handoff = m_handoff, path, mainThread, self] {
        auto* document = new QPdfDocument();
        if (document->load(path) != QPdfDocument::Error::None) {
            delete document;
            document = nullptr;
        }
        {
            const std::lock_guard lock(handoff->mutex);
            if (!handoff->abandoned) {
                if (document != nullptr) {
                    document->moveToThread(mainThread);
                }
                handoff->document = std::exchange(document, nullptr);
                handoff->delivered = true;
            }
        }
        delete document;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) {
                    self->takeDocument();
                }
            },
            Qt::QueuedConnection);
    });
}

PdfPreview::~PdfPreview()
{
    stopMedia();
    // The view's renderer works on the document from a thread of its own; the view
    // goes first, and with it that thread.
    delete m_pages;
    disposeOf(std::exchange(m_document, nullptr));
}

void PdfPreview::stopMedia()
{
    QPdfDocument* unclaimed = nullptr;
    {
        const std::lock_guard lock(m_handoff->mutex);
        m_handoff->abandoned = true;
        unclaimed = std::exchange(m_handoff->document, nullptr);
    }
    disposeOf(unclaimed);
}

void PdfPreview::takeDocument()
{
    QPdfDocument* document = nullptr;
    {
        const std::lock_guard lock(m_handoff->mutex);
        if (!m_handoff->delivered || m_handoff->abandoned || m_loaded) {
            return;
        }
        document = std::exchange(m_handoff->document, nullptr);
    }
    m_loaded = true;
    if (document != nullptr) {
        document->setParent(this);
        m_document = document;
        // Counted while the file was read; the mode is set before the view sees the
        // document, so that it never lays out every page.
        const int pages = document->pageCount();
        if (pages > multiPageLimit) {
            m_view->setPageMode(QPdfView::PageMode::SinglePage);
            connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
                    [this, pages](int page) { m_pageBar->setPage(page, pages); });
            m_pageBar->setPage(0, pages);
            m_pageBar->show();
        }
        m_view->setDocument(document);
        m_pages->showContent();
    } else {
        m_pages->showFailure();
    }
    emit loaded();
}

bool PdfPreview::showsFailure() const
{
    return m_pages->showsFailure();
}

int PdfPreview::currentPage() const
{
    return m_view->pageNavigator()->currentPage();
}

void PdfPreview::showPage(int page)
{
    if (m_document == nullptr) {
        return;
    }
    page = std::clamp(page, 0, std::max(0, m_document->pageCount() - 1));
    if (page != currentPage()) {
        m_view->pageNavigator()->jump(page, QPointF(), m_view->pageNavigator()->currentZoom());
    }
}


}  // namespace tarn
