#pragma once

#include "app/state/UiServices.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarn::test {

// The desktop as a test scripts it: each question takes the next prepared answer
// (none left: cancelled or declined), answered on a later turn of the event loop as
// a window-modal dialog would be; everything asked and opened is written down.
class ScriptedUiServices final : public UiServices {
public:
    std::deque<std::vector<std::filesystem::path>> fileChoices;
    std::deque<std::optional<std::filesystem::path>> folderChoices;
    std::deque<std::optional<std::filesystem::path>> saveChoices;
    std::deque<bool> alertAnswers;
    // What the desktop makes of each file opened (none left: it opens).
    std::deque<LaunchOutcome> launchOutcomes;
    ClipboardContents clipboardContents;
    // The endpoint hosts whose accounts the add-account sheet is to take, every region.
    std::set<std::string> hostsTheSheetAdds;

    std::vector<FileChoice> fileChoicesShown;
    std::vector<QString> folderChoicesShown;
    std::vector<QString> saveChoicesShown;  // the proposed names
    std::vector<Alert> alertsShown;
    std::vector<std::filesystem::path> openedFiles;
    std::vector<QUrl> openedUrls;
    int beeps = 0;

    QCoro::Task<std::vector<std::filesystem::path>> chooseFiles(FileChoice choice) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseFolder(QString title) override;
    QCoro::Task<std::optional<std::filesystem::path>> chooseSaveFile(QString title, QString proposedName,
                                                                     QStringList nameFilters) override;
    QCoro::Task<bool> showAlert(Alert alert) override;
    ClipboardContents clipboard() override { return clipboardContents; }
    QCoro::Task<LaunchOutcome> openWithDefaultApplication(std::filesystem::path file) override;
    void openUrl(const QUrl& url) override { openedUrls.push_back(url); }
    void beep() override { ++beeps; }
    bool canAddAccount(const Url& endpoint, const std::string&) const override {
        return endpoint.host() && hostsTheSheetAdds.contains(*endpoint.host());
    }
};

}  // namespace tarn::test
