#include "app/state/HeadlessUiServices.h"

namespace tarn {

QCoro::Task<std::vector<std::filesystem::path>> HeadlessUiServices::chooseFiles(FileChoice) { co_return {}; }

QCoro::Task<std::optional<std::filesystem::path>> HeadlessUiServices::chooseFolder(QString) { co_return std::nullopt; }

QCoro::Task<std::optional<std::filesystem::path>> HeadlessUiServices::chooseSaveFile(QString, QString, QStringList) {
    co_return std::nullopt;
}

QCoro::Task<bool> HeadlessUiServices::showAlert(Alert) { co_return false; }

UiServices::ClipboardContents HeadlessUiServices::clipboard() { return {}; }

QCoro::Task<UiServices::LaunchOutcome> HeadlessUiServices::openWithDefaultApplication(std::filesystem::path) {
    co_return LaunchOutcome::launcherFailed;
}

void HeadlessUiServices::openUrl(const QUrl&) {}

void HeadlessUiServices::beep() {}

bool HeadlessUiServices::canAddAccount(const Url&, const std::string&) const { return false; }

}  // namespace tarn
