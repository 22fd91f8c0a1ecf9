#pragma once

#include "app/state/UiServices.h"

#include <QPointer>
#include <QWidget>

#include <chrono>

namespace tarn {

// The desktop as the application state sees it through the window: file choosers
// and alerts opened window-modal over the main window (the interface keeps running
// while the state awaits the answer), the system clipboard, the default
// applications and the bell. Qt's own dialog texts follow the language chosen at
// entry.
class WidgetUiServices final : public UiServices {
public:
    // Dialogs open over `dialogParent`, or over the active window while it is null.
    explicit WidgetUiServices(QWidget* dialogParent = nullptr);

    void setDialogParent(QWidget* dialogParent) { m_dialogParent = dialogParent; }
    // The program files are opened with, and how long its answer is waited for; an
    // empty program stands for the desktop's own launcher.
    void setLauncher(QString program, std::chrono::milliseconds patience);
    QWidget* dialogParent() const;

    QCoro::Task<std::vector<std::filesystem::path>> chooseFiles(FileChoice choice) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseFolder(QString title) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseSaveFile(QString title, QString proposedName,
                                                                     QStringList nameFilters) override;
    QCoro::Task<bool> showAlert(Alert alert) override;

    ClipboardContents clipboard() override;
    // Through the desktop's launcher (see DesktopLauncher).
    QCoro::Task<LaunchOutcome> openWithDefaultApplication(std::filesystem::path file) override;
    void openUrl(const QUrl& url) override;
    void beep() override;
    // By the add-account sheet's provider table.
    bool canAddAccount(const Url& endpoint, const std::string& region) const override;

    // A local file name as the file system spells it, and back.
    static std::filesystem::path toPath(const QString& fileName);
    static QString toFileName(const std::filesystem::path& path);

private:
    QPointer<QWidget> m_dialogParent;
    QString m_launcher;
    std::chrono::milliseconds m_launchPatience;
};

}  // namespace tarn
