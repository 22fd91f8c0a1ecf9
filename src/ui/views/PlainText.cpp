#include "ui/views/PlainText.h"

#include <QLabel>
#include <QMessageBox>

namespace tarn {

QLabel* PlainText::label(const QString& text, QWidget* parent)
{
    auto* made = new QLabel(parent);
    apply(made);
    made->setText(text);
    return made;
}

void PlainText::apply(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
}

void PlainText::apply(QMessageBox* box)
{
    box->setTextFormat(Qt::PlainText);
    // The informative text has a label of its own, which the box makes when the text
    // is first set and which takes no format from the box.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        for (auto* label : box->findChildren<QLabel*>(QLatin1String(name))) {
            apply(label);
        }
    }
}

QString PlainText::toolTip(const QString& text)
{
    if (text.isEmpty()) {
        return text;
    }
    // Markup that says the text itself: escaped, its spaces and line breaks kept, and
    // long lines wrapped as a tooltip wraps its paragraphs.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString PlainText::buttonText(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace tarn
