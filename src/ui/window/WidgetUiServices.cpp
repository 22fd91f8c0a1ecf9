#include "ui/window/WidgetUiServices.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/sheets/StorageProvider.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/PlainText.h"
#include "ui/window/DesktopLauncher.h"
#include "ui/window/DialogAwaiter.h"
#include "ui/window/FileChooserFit.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

namespace tarn {

namespace {

// Short alert texts would otherwise wrap after two or three words.
constexpr int kAlertTextMinWidth = 320;
constexpr qreal kAlertIconPointSize = 30;

QMessageBox::Icon iconOf(UiServices::Alert::Style style)
{
    switch (style) {
    case UiServices::Alert::Style::informational:
        return QMessageBox::Information;
    case UiServices::Alert::Style::warning:
        return QMessageBox::Warning;
    case UiServices::Alert::Style::critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

// The theme's glyphs in place of the style's generic ones.
QPixmap glyphOf(UiServices::Alert::Style style, qreal devicePixelRatio)
{
    switch (style) {
    case UiServices::Alert::Style::informational:
        return MingCute::pixmap(QStringLiteral("info.circle.fill"), kAlertIconPointSize,
                                TarnTheme::color(ThemeColor::systemBlue), devicePixelRatio);
    case UiServices::Alert::Style::warning:
        return MingCute::pixmap(QStringLiteral("exclamationmark.triangle.fill"), kAlertIconPointSize,
                                TarnTheme::color(ThemeColor::systemOrange), devicePixelRatio);
    case UiServices::Alert::Style::critical:
        return MingCute::pixmap(QStringLiteral("exclamationmark.triangle.fill"), kAlertIconPointSize,
                                TarnTheme::color(ThemeColor::systemRed), devicePixelRatio);
    }
    return {};
}

// A chooser that the waiting coroutine owns (see chosenFiles). Qt picks the
// desktop's own chooser where the desktop offers one, and its own otherwise.
QFileDialog* makeFileDialog(QWidget* parent, const QString& title)
{
    auto* dialog = new QFileDialog(parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    FileChooserFit::install(dialog);
    return dialog;
}

// Opens the chooser and gives what was chosen: nothing when it was cancelled or went
// with its window. The chooser is deleted afterwards, on a later turn of the event
// loop, never inside one of its own signals.
QCoro::Task<QStringList> chosenFiles(QFileDialog* opened)
{
    const QPointer<QFileDialog> dialog = opened;
    DialogAwaiter ended(dialog);
    const int result = co_await ended;
    if (!dialog) {
        co_return QStringList();
    }
    const QStringList files = result == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
    dialog->deleteLater();
    co_return files;
}

}  // namespace

WidgetUiServices::WidgetUiServices(QWidget* dialogParent)
    : m_dialogParent(dialogParent)
    , m_launchPatience(DesktopLauncher::defaultPatience)
{
}

QWidget* WidgetUiServices::dialogParent() const
{
    return m_dialogParent ? m_dialogParent.data() : QApplication::activeWindow();
}

QCoro::Task<std::vector<std::filesystem::path>> WidgetUiServices::chooseFiles(FileChoice choice)
{
    QFileDialog* dialog = makeFileDialog(dialogParent(), choice.title);
    dialog->setFileMode(choice.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (!choice.nameFilters.isEmpty()) {
        dialog->setNameFilters(choice.nameFilters);
    }
    const QStringList chosen = co_await chosenFiles(dialog);
    std::vector<std::filesystem::path> files;
    for (const QString& file : chosen) {
        files.push_back(toPath(file));
    }
    co_return files;
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetUiServices::chooseFolder(QString title)
{
    QFileDialog* dialog = makeFileDialog(dialogParent(), title);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList chosen = co_await chosenFiles(dialog);
    co_return chosen.isEmpty() ? std::nullopt : std::optional(toPath(chosen.constFirst()));
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetUiServices::chooseSaveFile(QString title,
                                                                                   QString proposedName,
                                                                                   QStringList nameFilters)
{
    QFileDialog* dialog = makeFileDialog(dialogParent(), title);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    if (!nameFilters.isEmpty()) {
        dialog->setNameFilters(nameFilters);
    }
    dialog->selectFile(proposedName);
    const QStringList chosen = co_await chosenFiles(dialog);
    co_return chosen.isEmpty() ? std::nullopt : std::optional(toPath(chosen.constFirst()));
}

QCoro::Task<bool> WidgetUiServices::showAlert(Alert alert)
{
    QPointer<QMessageBox> box = new QMessageBox(iconOf(alert.style), L10n::t(QStringLiteral("app_name")),
                                                alert.message, QMessageBox::NoButton, dialogParent());
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setInformativeText(alert.informativeText);
    // Names from an imported file, a server's words: never markup, never a link.
    PlainText::apply(box);
    if (const QPixmap glyph = glyphOf(alert.style, box->devicePixelRatioF()); !glyph.isNull()) {
        box->setIconPixmap(glyph);
    }
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = box->findChild<QLabel*>(QLatin1String(name))) {
            label->setMinimumWidth(kAlertTextMinWidth);
            // A name to look up, a command to paste into a terminal: the text can be
            // copied.
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
    }
    QAbstractButton* confirm = alert.confirmButton.isEmpty()
                                   ? static_cast<QAbstractButton*>(box->addButton(QMessageBox::Ok))
                                   : box->addButton(alert.confirmButton, QMessageBox::AcceptRole);
    QAbstractButton* cancel =
        alert.cancelButton.isEmpty() ? nullptr : box->addButton(alert.cancelButton, QMessageBox::RejectRole);
    box->setDefaultButton(qobject_cast<QPushButton*>(alert.cancelIsDefault && cancel != nullptr ? cancel : confirm));
    box->setEscapeButton(cancel != nullptr ? cancel : confirm);

    DialogAwaiter ended(box);
    co_await ended;
    bool confirmed = false;
    if (box) {
        confirmed = box->clickedButton() == confirm;
        box->deleteLater();
    }
    co_return confirmed;
}

UiServices::ClipboardContents WidgetUiServices::clipboard()
{
    ClipboardContents contents;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) {
        return contents;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            contents.files.push_back(toPath(url.toLocalFile()));
        }
    }
    for (const QString& format : data->formats()) {
        if (format.startsWith(QLatin1String("image/"))) {
            contents.images.push_back({format, data->data(format)});
        }
    }
    if (contents.images.empty() && data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) {
            QBuffer buffer(&contents.imageAsPng);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
    }
    if (data->hasText()) {
        contents.text = data->text();
    }
    return contents;
}

void WidgetUiServices::setLauncher(QString program, std::chrono::milliseconds patience)
{
    m_launcher = std::move(program);
    m_launchPatience = patience;
}

QCoro::Task<UiServices::LaunchOutcome> WidgetUiServices::openWithDefaultApplication(std::filesystem::path file)
{
    QCoro::Task<LaunchOutcome> launching = DesktopLauncher::open(std::move(file), m_launcher, m_launchPatience);
    const LaunchOutcome outcome = co_await launching;
    co_return outcome;
}

void WidgetUiServices::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void WidgetUiServices::beep()
{
    QApplication::beep();
}

bool WidgetUiServices::canAddAccount(const Url& endpoint, const std::string& region) const
{
    return StorageProvider::serves(StorageProvider::all(), endpoint, region);
}

std::filesystem::path WidgetUiServices::toPath(const QString& fileName)
{
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

QString WidgetUiServices::toFileName(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

}  // namespace tarn
