#include "ui/UiTestSupport.h"

#include "core/preview/ObjectPreview.h"

#include "ui/inspector/InspectorRows.h"
#include "ui/inspector/MiddleElidedLabel.h"
#include "ui/preview/FileCardPreview.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PreviewPlaceholder.h"
#include "ui/views/PlainText.h"

#include <QLabel>
#include <QMediaPlayer>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace tarn {
namespace {

// Words a server, a bucket or a file may carry, each of which a label or a tooltip
// would show as markup: a link, large red letters, an image, spaces that collapse.
const QString kHostile[] = {
    QStringLiteral("<a href=\"https://evil.example/restore-key\">Team (click here to restore its key)</a>"),
    QStringLiteral("<font size=6 color=red>photos/2024.jpg</font>"),
    QStringLiteral("<b>Session expired</b>: <img src=\"https://evil.example/t.png\"> sign in again"),
    QStringLiteral("a  b &amp; c\n<i>second line</i>"),
};

// What a label shows: its text as written, or the text its markup stands for.
bool showsAsWritten(const QLabel& label)
{
    return label.textFormat() == Qt::PlainText ||
           (label.textFormat() == Qt::AutoText && !Qt::mightBeRichText(label.text()));
}

// What a tooltip shows of `tip`, which Qt takes as markup whenever it looks like it.
QString tooltipShows(const QString& tip)
{
    if (!Qt::mightBeRichText(tip)) {
        return tip;
    }
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// Every label of `widget` that holds `text` shows it as written; there is one at least.
void expectLabelsShowAsWritten(const QWidget& widget, const QString& text)
{
    int holding = 0;
    for (const QLabel* label : widget.findChildren<QLabel*>()) {
        if (!label->text().contains(text)) {
            continue;
        }
        ++holding;
        EXPECT_TRUE(showsAsWritten(*label)) << label->text().toStdString();
    }
    EXPECT_GE(holding, 1) << text.toStdString();
}

TEST(PlainText, TooltipsAndLabelsShowTheTextAsWritten)
{
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(tooltipShows(PlainText::toolTip(text)), text);
        const std::unique_ptr<QLabel> label(PlainText::label(text));
        EXPECT_TRUE(showsAsWritten(*label));
        EXPECT_EQ(label->text(), text);
    }
    EXPECT_TRUE(PlainText::toolTip(QString()).isEmpty()) << "no text, no tooltip";
    // A button's title: "&" marks a shortcut letter unless doubled.
    EXPECT_EQ(PlainText::buttonText(QStringLiteral("R&D && more")), QStringLiteral("R&&D &&&& more"));
}

// The views that show a key, a name, metadata or a server's or file's words.
TEST(PlainText, ViewsShowOutsideWordsAsWritten)
{
    for (const QString& text : kHostile) {
        SCOPED_TRACE(text.toStdString());
        // A preview's failure text, which can carry the server's error message.
        {
            PreviewPlaceholder placeholder(text, 100);
            expectLabelsShowAsWritten(placeholder, text);
        }
        // The card of a file no view shows: its name from the key.
        {
            const std::string key = "docs/" + text.toStdString();
            FileCardPreview card({key, "application/octet-stream", 10, {}}, {});
            expectLabelsShowAsWritten(card, QString::fromStdString(ObjectPreview::fileName(key)));
        }
        // The player's failure, in the media framework's words about the file.
        {
            MediaPreview media(QUrl(), QStringLiteral("film"));
            emit media.player()->errorOccurred(QMediaPlayer::ResourceError, text);
            expectLabelsShowAsWritten(media, text);
        }
        // A metadata row: its name (cut at the column, whole in the tooltip) and its
        // value, cut in the middle with the whole value in the tooltip.
        {
            const std::unique_ptr<QWidget> row(
                InspectorRows::metaRow({text, text + text + text, text}, [](const QString&) {}));
            row->resize(200, 30);
            row->show();
            expectLabelsShowAsWritten(*row, text);
            int tips = 0;
            for (const QWidget* child : row->findChildren<QWidget*>()) {
                if (child->toolTip().isEmpty()) {
                    continue;
                }
                ++tips;
                const QString shown = tooltipShows(child->toolTip());
                EXPECT_TRUE(shown == text || shown == text + text + text) << shown.toStdString();
            }
            EXPECT_GE(tips, 2) << "the name's and the cut value's";
        }
    }
}

}  // namespace
}  // namespace tarn
