#include "ui/preview/TextPreview.h"

#include "app/text/L10n.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewLook.h"
#include "ui/preview/PreviewPages.h"
#include "ui/preview/PreviewSurface.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVBoxLayout>


namespace tarn {

namespace {

QFont monospacedFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    font.setStyleHint(QFont::Monospace);
    return font;
}

}  // namespace

TextPreview::TextPreview(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_editor(new QPlainTextEdit())
    , m_pages(new PreviewPages(PreviewSurface::around(m_editor), L10n::t(QStringLiteral("preview_text_failed"))))
{
    m_editor->setReadOnly(true);
    // Selectable, but with no caret: nothing here can be typed into.
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(monospacedFont());
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editor->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_editor->setTabStopDistance(QFontMetricsF(m_editor->font()).horizontalAdvance(QLatin1Char(' ')) * 4);
    m_editor->document()->setDocumentMargin(10);
    m_editor->viewport()->setAutoFillBackground(false);
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_editor->setPalette(palette);
    PreviewLook::setTextColor(m_editor, ThemeColor::label);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    m_pages->loadText(path, PreviewFile::textDisplayCap, PreviewFile::utf8Text,
                      [this](const QString& text) { m_editor->setPlainText(text); });
}

bool TextPreview::isLoaded() const
{
    return m_pages->isLoaded();
}

bool TextPreview::showsFailure() const
{
    return m_pages->showsFailure();
}

QString TextPreview::shownText() const
{
    return showsFailure() ? m_pages->failureText() : m_editor->toPlainText();
}

QString TextPreview::noteText() const
{
    return m_pages->noteText();
}

void TextPreview::stopMedia()
{
    m_pages->stopLoading();
}

}  // namespace tarn
