#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "app/FinishWithin.h"
#include "ui/window/MainWindow.h"
#include "ui/views/DateText.h"
#include "ui/window/FileChooserFit.h"
#include "ui/window/PreferredLanguage.h"
#include "ui/window/WidgetUiServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace tarn {
namespace {

using test::finishWithin;

class WidgetUiServicesTest : public test::WindowFixture {
protected:
    void SetUp() override { launch(); }

    WidgetUiServices& services() { return m_delegate->uiServices(); }

    template <class Dialog>
    Dialog* openDialog()
    {
        const QList<Dialog*> dialogs = m_delegate->window()->findChildren<Dialog*>();
        for (Dialog* dialog : dialogs) {
            if (dialog->isVisible()) {
                return dialog;
            }
        }
        return nullptr;
    }
};

UiServices::Alert deleteAlert()
{
    return {UiServices::Alert::Style::warning, QStringLiteral("Delete 3 objects?"),
            QStringLiteral("This cannot be undone."), QStringLiteral("Delete"), QStringLiteral("Keep")};
}

TEST_F(WidgetUiServicesTest, AnAlertIsWindowModalOverTheWindowAndAnswersWithItsButton)
{
    for (const bool confirm : {true, false}) {
        SCOPED_TRACE(confirm);
        QCoro::Task<bool> answer = services().showAlert(deleteAlert());
        auto* box = openDialog<QMessageBox>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        EXPECT_EQ(box->parentWidget(), m_delegate->window());
        EXPECT_EQ(box->text(), QStringLiteral("Delete 3 objects?"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("This cannot be undone."));
        ASSERT_EQ(box->buttons().size(), 2);
        EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Delete"));
        test::saveGrab(box, confirm ? QStringLiteral("confirm") : QStringLiteral("cancel"));
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == (confirm ? QStringLiteral("Delete") : QStringLiteral("Keep"))) {
                button->click();
            }
        }
        EXPECT_EQ(finishWithin(std::move(answer)), std::optional<bool>(confirm));
    }
}

// Names from an imported file and a server's words are shown as written: no markup,
// no link that a click would open.
TEST_F(WidgetUiServicesTest, AnAlertShowsOutsideWordsAsWrittenAndCanDefaultToCancel)
{
    const QString account =
        QStringLiteral("<a href=\"https://evil.example/restore-key\">Team (click here to restore its key)</a>");
    const QString server = QStringLiteral("<font size=6 color=red>Expired</font>");
    UiServices::Alert alert(UiServices::Alert::Style::warning, server, QStringLiteral("Accounts: ") + account,
                            QStringLiteral("Open"), QStringLiteral("Cancel"));
    alert.cancelIsDefault = true;
    QCoro::Task<bool> answer = services().showAlert(alert);
    auto* box = openDialog<QMessageBox>();
    ASSERT_NE(box, nullptr);
    int shown = 0;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().contains(QLatin1Char('<'))) {
            continue;
        }
        ++shown;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        EXPECT_FALSE(label->openExternalLinks());
        // A name to look up or a command to paste is copied from the alert.
        EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    }
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Cancel"));
    test::saveGrab(box);
    box->defaultButton()->click();
    EXPECT_EQ(finishWithin(std::move(answer)), std::optional<bool>(false));
}

TEST_F(WidgetUiServicesTest, ASingleButtonAlertUsesQtsOwnOkInTheLanguageChosenAtEntry)
{
    const struct {
        const char* code;
        const char* ok;
    } cases[] = {{"en", "OK"}, {"zh", "确定"}, {"fr", "确定"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        PreferredLanguage::apply(QString::fromLatin1(c.code));
        QCoro::Task<bool> answer = services().showAlert({UiServices::Alert::Style::critical, QStringLiteral("Failed")});
        auto* box = openDialog<QMessageBox>();
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->buttons().front()->text().remove(QLatin1Char('&')), QString::fromUtf8(c.ok));
        test::saveGrab(box, QString::fromLatin1(c.code));
        box->buttons().front()->click();
        EXPECT_EQ(finishWithin(std::move(answer)), std::optional<bool>(true));
    }
}

TEST_F(WidgetUiServicesTest, ADialogThatGoesWithItsWindowEndsAsCancelled)
{
    QCoro::Task<bool> answer = services().showAlert(deleteAlert());
    QCoro::Task<std::optional<std::filesystem::path>> folder = services().chooseFolder(QStringLiteral("Download to"));
    ASSERT_NE(openDialog<QMessageBox>(), nullptr);
    endDelegate();
    EXPECT_EQ(finishWithin(std::move(answer)), std::optional<bool>(false));
    const auto chosen = finishWithin(std::move(folder));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, std::nullopt);
}

TEST_F(WidgetUiServicesTest, FileChoosersGiveTheChosenFilesOrNothing)
{
    QTemporaryDir folder;
    const QString a = folder.filePath(QStringLiteral("a 文件.txt"));
    const QString b = folder.filePath(QStringLiteral("b.json"));
    std::ofstream(WidgetUiServices::toPath(a)) << "a";
    std::ofstream(WidgetUiServices::toPath(b)) << "{}";

    QCoro::Task<std::vector<std::filesystem::path>> files =
        services().chooseFiles(UiServices::FileChoice(QStringLiteral("Upload"), true));
    auto* dialog = openDialog<QFileDialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    dialog->setDirectory(folder.path());
    dialog->selectFile(QStringLiteral("\"a 文件.txt\" \"b.json\""));
    static_cast<QDialog*>(dialog)->accept();
    const auto chosen = finishWithin(std::move(files));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_THAT(*chosen, ::testing::UnorderedElementsAre(WidgetUiServices::toPath(a), WidgetUiServices::toPath(b)));

    QCoro::Task<std::optional<std::filesystem::path>> saved = services().chooseSaveFile(
        QStringLiteral("Export"), QStringLiteral("TarnManager-config.json"), {QStringLiteral("JSON (*.json)")});
    dialog = openDialog<QFileDialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->reject();
    const auto notSaved = finishWithin(std::move(saved));
    ASSERT_TRUE(notSaved.has_value());
    EXPECT_EQ(*notSaved, std::nullopt);
}

TEST_F(WidgetUiServicesTest, QtsOwnChooserSpeaksTheInterfaceLanguageAndFitsItsColumns)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("照片")));
    std::ofstream(WidgetUiServices::toPath(folder.filePath(QStringLiteral("notes.txt")))) << std::string(44'000, 'a');
    std::ofstream(WidgetUiServices::toPath(folder.filePath(QStringLiteral("第三季度报告.pdf")))) << "%PDF-1.4";
    const struct {
        const char* code;
        const char* folderType;
        const char* cancel;
    } cases[] = {{"zh", "文件夹", "取消"}, {"en", "Folder", "Cancel"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        PreferredLanguage::apply(QString::fromLatin1(c.code));
        QCoro::Task<std::vector<std::filesystem::path>> files =
            services().chooseFiles(UiServices::FileChoice(QStringLiteral("Upload"), true));
        auto* dialog = openDialog<QFileDialog>();
        ASSERT_NE(dialog, nullptr);
        // Without a desktop chooser (offscreen), Qt's own serves.
        QTreeView* view = FileChooserFit::detailView(dialog);
        ASSERT_NE(view, nullptr);
        // As wide as the columns need, within the screen (the offscreen one is 800 wide).
        EXPECT_GE(dialog->width(), std::min(860, dialog->screen()->availableGeometry().width() * 9 / 10));
        // At opening every column it shows is in view.
        EXPECT_LE(view->header()->length(), view->viewport()->width());

        dialog->setDirectory(folder.path());
        const QAbstractItemModel* shown = view->model();
        // Once the folder is read, each column is as wide as its widest text.
        const auto fitted = [view] {
            for (int column = 1; column < view->header()->count(); ++column) {
                if (view->header()->sectionSize(column) <
                    static_cast<const QAbstractItemView*>(view)->sizeHintForColumn(column)) {
                    return false;
                }
            }
            return true;
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown->rowCount(view->rootIndex()) == 3 && fitted(); }, 5000));
        // The rows, by name: the type in the interface language, sizes and dates as the
        // window writes them.
        QHash<QString, QStringList> rows;
        for (int row = 0; row < shown->rowCount(view->rootIndex()); ++row) {
            QStringList texts;
            for (int column = 0; column < shown->columnCount(view->rootIndex()); ++column) {
                texts.append(shown->index(row, column, view->rootIndex()).data().toString());
            }
            rows.insert(texts.constFirst(), texts);
        }
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows.value(QStringLiteral("照片")).value(2), QString::fromUtf8(c.folderType));
        const QStringList notes = rows.value(QStringLiteral("notes.txt"));
        EXPECT_EQ(notes.value(1), QStringLiteral("43.0 KB"));
        const QDateTime modified = QFileInfo(folder.filePath(QStringLiteral("notes.txt"))).lastModified();
        EXPECT_EQ(notes.value(3), DateText::absolute(TimePoint(std::chrono::milliseconds(modified.toMSecsSinceEpoch()))));
        QStringList buttons;
        for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
            buttons.append(button->text());
        }
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(c.cancel))) << buttons.join(QLatin1Char('|')).toStdString();
        test::saveGrab(dialog, QString::fromLatin1(c.code));
        dialog->reject();
        ASSERT_TRUE(finishWithin(std::move(files)).has_value());
    }
}

TEST_F(WidgetUiServicesTest, TheClipboardGivesLocalFilesImagesAndText)
{
    QTemporaryDir folder;
    const QString local = folder.filePath(QStringLiteral("photo.png"));
    auto* data = new QMimeData();
    data->setUrls({QUrl::fromLocalFile(local), QUrl(QStringLiteral("https://example.com/x.png"))});
    data->setText(QStringLiteral("two things"));
    QGuiApplication::clipboard()->setMimeData(data);
    UiServices::ClipboardContents contents = services().clipboard();
    ASSERT_EQ(contents.files.size(), 1u);
    EXPECT_EQ(contents.files.front(), WidgetUiServices::toPath(local));
    EXPECT_EQ(contents.text, std::optional<QString>(QStringLiteral("two things")));

    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(image);
    contents = services().clipboard();
    EXPECT_TRUE(contents.files.empty());
    EXPECT_FALSE(contents.text.has_value());
    QImage pasted;
    if (!contents.images.empty()) {
        pasted.loadFromData(contents.images.front().bytes);
    } else {
        pasted.loadFromData(contents.imageAsPng, "PNG");
    }
    EXPECT_EQ(pasted.size(), QSize(4, 3));
}

}  // namespace
}  // namespace tarn
