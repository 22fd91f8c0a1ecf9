#include "ScriptedUiServices.h"

#include "app/state/Async.h"

namespace tarn::test {

namespace {

// The next prepared answer, after one turn of the event loop; `none` when the
// script has run out.
template <class T>
QCoro::Task<T> nextAnswer(std::deque<T>& answers, T none) {
    T answer = answers.empty() ? std::move(none) : std::move(answers.front());
    if (!answers.empty()) answers.pop_front();
    co_await stoppableSleep(std::chrono::milliseconds(0), {});
    co_return answer;
}

}  // namespace

QCoro::Task<std::vector<std::filesystem::path>> ScriptedUiServices::chooseFiles(FileChoice choice) {
    fileChoicesShown.push_back(std::move(choice));
    return nextAnswer(fileChoices, {});
}

QCoro::Task<std::optional<std::filesystem::path>> ScriptedUiServices::chooseFolder(QString title) {
    folderChoicesShown.push_back(std::move(title));
    return nextAnswer(folderChoices, {});
}

QCoro::Task<std::optional<std::filesystem::path>> ScriptedUiServices::chooseSaveFile(QString, QString proposedName,
                                                                                     QStringList) {
    saveChoicesShown.push_back(std::move(proposedName));
    return nextAnswer(saveChoices, {});
}

QCoro::Task<bool> ScriptedUiServices::showAlert(Alert alert) {
    alertsShown.push_back(std::move(alert));
    return nextAnswer(alertAnswers, false);
}

QCoro::Task<UiServices::LaunchOutcome> ScriptedUiServices::openWithDefaultApplication(std::filesystem::path file) {
    openedFiles.push_back(std::move(file));
    return nextAnswer(launchOutcomes, LaunchOutcome::opened);
}

}  // namespace tarn::test
