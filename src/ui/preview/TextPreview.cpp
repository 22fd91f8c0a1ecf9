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
    // The CJK font's monospaced face first: its Latin and its CJK glyphs share one
    // weight, one height and a 1:2 width, so a line with Chinese in it is as tall as
    // one without. Then the usual monospaced faces, and colour emoji last (its lines
    // are no taller than the CJK face's).
    font.setFamilies({TextPreview::monospacedFamily(), QStringLiteral("DejaVu Sans Mono"), font.family(),
                      QStringLiteral("Noto Color Emoji")});
    font.setPixelSize(12);
    font.setStyleHint(QFont::Monospace);
    return font;
}

}  // namespace

TextPreview::TextPreview(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_editor(makeView())
    , m_pages(new PreviewPages(PreviewSurface::around(m_editor), L10n::t(QStringLiteral("preview_text_failed"))))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    m_pages->loadText(path, PreviewFile::textDisplayCap, PreviewFile::utf8Text,
                      [this](const QString& text) { m_editor->setPlainText(text); });
}

QPlainTextEdit* TextPreview::makeView()
{
    auto* view = new QPlainTextEdit();
    view->setReadOnly(true);
    // Selectable, but with no caret: nothing here can be typed into.
    view->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view->setFrameShape(QFrame::NoFrame);
    view->setFont(monospacedFont());
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setTabStopDistance(QFontMetricsF(view->font()).horizontalAdvance(QLatin1Char(' ')) * 4);
    view->document()->setDocumentMargin(10);
    view->viewport()->setAutoFillBackground(false);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    view->setPalette(palette);
    PreviewLook::setTextColor(view, ThemeColor::label);
    return view;
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
