#pragma once

#include "app/state/UiServices.h"

namespace tarn {

// The desktop as it looks without a window layer: every chooser is cancelled, every
// alert declined, the clipboard is empty, and nothing is opened (no launcher) or
// heard.
class HeadlessUiServices final : public UiServices {
public:
    QCoro::Task<std::vector<std::filesystem::path>> chooseFiles(FileChoice choice) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseFolder(QString title) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseSaveFile(QString title, QString proposedName,
                                                                     QStringList nameFilters) override;
    QCoro::Task<bool> showAlert(Alert alert) override;
    ClipboardContents clipboard() override;
    QCoro::Task<LaunchOutcome> openWithDefaultApplication(std::filesystem::path file) override;
    void openUrl(const QUrl& url) override;
    void beep() override;
    bool canAddAccount(const Url& endpoint, const std::string& region) const override;
};

}  // namespace tarn
