#include "ui/window/DesktopLauncher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <coroutine>
#include <memory>
#include <utility>

namespace tarn::DesktopLauncher {

namespace {

// Runs the launcher and lets a coroutine wait for its answer while the event loop
// keeps running. The launcher belongs to the application, not to the waiting code:
// one that outlasts the patience runs on, and is deleted once it ends.
class LaunchWatch {
public:
    LaunchWatch(QString program, QString fileName, std::chrono::milliseconds patience)
        : m_program(std::move(program))
        , m_fileName(std::move(fileName))
        , m_patience(patience)
        , m_state(std::make_shared<State>())
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiting)
    {
        m_state->waiting = waiting;
        auto* process = new QProcess(QCoreApplication::instance());
        process->setProgram(m_program);
        process->setArguments({m_fileName});
        // Whatever it starts may outlive this program: it must not write into a pipe
        // nobody reads any more.
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process,
                         [state = m_state, process](int code, QProcess::ExitStatus status) {
                             state->end(status == QProcess::NormalExit ? outcomeOfExit(code) : Outcome::launcherFailed);
                             process->deleteLater();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [state = m_state, process](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) {
                                 state->end(Outcome::launcherFailed);
                                 process->deleteLater();
                             }
                         });
        QTimer::singleShot(m_patience, process, [state = m_state] { state->end(Outcome::opened); });
        process->start();
    }

    Outcome await_resume() const noexcept { return m_state->outcome; }

private:
    struct State {
        Outcome outcome = Outcome::launcherFailed;
        bool ended = false;
        std::coroutine_handle<> waiting;

        void end(Outcome result)
        {
            if (ended) {
                return;
            }
            ended = true;
            outcome = result;
            // Not inside the process's own signal.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [handle = waiting] { handle.resume(); }, Qt::QueuedConnection);
        }
    };

    QString m_program;
    QString m_fileName;
    std::chrono::milliseconds m_patience;
    std::shared_ptr<State> m_state;
};

}  // namespace

Outcome outcomeOfExit(int exitCode)
{
    switch (exitCode) {
    case 0:
        return Outcome::opened;
    // xdg-open's "no method available" and "the action failed", which is what the
    // desktop's own opener reports when nothing is registered for the type.
    case 3:
    case 4:
        return Outcome::noApplication;
    default:
        return Outcome::launcherFailed;
    }
}

QCoro::Task<Outcome> open(std::filesystem::path file, QString launcher, std::chrono::milliseconds patience)
{
    const QString fileName = QFile::decodeName(QByteArray::fromStdString(file.native()));
    if (launcher.isEmpty()) {
        launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    }
    if (launcher.isEmpty()) {
        co_return QDesktopServices::openUrl(QUrl::fromLocalFile(fileName)) ? Outcome::opened : Outcome::launcherFailed;
    }
    LaunchWatch watch(std::move(launcher), fileName, patience);
    const Outcome outcome = co_await watch;
    co_return outcome;
}

}  // namespace tarn::DesktopLauncher
