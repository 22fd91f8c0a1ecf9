#include "ui/preview/PreviewPages.h"

#include "ui/preview/BackgroundLoad.h"
#include "ui/preview/PreviewNote.h"
#include "ui/preview/PreviewPlaceholder.h"

#include <QStackedLayout>
#include <QVBoxLayout>

#include <utility>

namespace tarn {

namespace {

struct TextRead {
    std::optional<QString> text;
    QString note;
};

}  // namespace

PreviewPages::PreviewPages(QWidget* content, const QString& failureText, QWidget* parent)
    : QWidget(parent)
    , m_pages(new QStackedLayout())
    , m_contentPage(new QWidget())
    , m_note(new PreviewNote())
    , m_failure(new PreviewPlaceholder(failureText, 0))
{
    m_note->hide();
    auto* contentLayout = new QVBoxLayout(m_contentPage);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    contentLayout->addWidget(content, 1);
    contentLayout->addWidget(m_note);

    // The stack belongs to this widget before it takes its pages: a page it showed
    // while it had no widget would be shown as a window of its own, and showing a
    // window closes whatever menu is open (the table's, over which this preview
    // was asked for).
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_pages);
    m_pages->addWidget(new QWidget());
    m_pages->addWidget(m_contentPage);
    m_pages->addWidget(m_failure);
}

void PreviewPages::loadText(const QString& path, qint64 cap, Convert convert,
                            std::function<void(const QString&)> present)
{
    auto read = [path, cap, convert = std::move(convert)] {
        const PreviewFile::Start start = PreviewFile::read(path, cap);
        TextRead result;
        result.text = convert(start);
        if (start.truncated()) {
            result.note = PreviewNote::truncationText(start.bytes.size(), start.fileSize);
        }
        return result;
    };
    m_pendingRead = loadInBackground(this, read, [this, present = std::move(present)](const TextRead& result) {
        m_loaded = true;
        if (result.text) {
            present(*result.text);
            showContent(result.note);
        } else {
            showFailure();
        }
        emit loaded();
    });
}

void PreviewPages::stopLoading()
{
    delete m_pendingRead;
}

void PreviewPages::showContent(const QString& note)
{
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    m_pages->setCurrentWidget(m_contentPage);
}

void PreviewPages::showFailure()
{
    m_pages->setCurrentWidget(m_failure);
}

bool PreviewPages::showsFailure() const
{
    return m_pages->currentWidget() == m_failure;
}

QString PreviewPages::failureText() const
{
    return showsFailure() ? m_failure->text() : QString();
}

QString PreviewPages::noteText() const
{
    return m_note->isHidden() ? QString() : m_note->text();
}

}  // namespace tarn
