#include "BenchSupport.h"
#include "FixedSecretStore.h"
#include "ScratchFolder.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/storage/S3Client.h"
#include "ui/browser/StatusDotView.h"
#include "ui/preview/MediaPreview.h"
#include "ui/window/AppDelegate.h"
#include "ui/window/MainWindow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QSettings>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// How long the window is left alone for each figure.
constexpr auto kIdleSpan = 10s;
// How long it is given first to finish what opening it started (the listing, the
// usage count, fades, the throttled refreshes).
constexpr auto kSettleSpan = 2s;
const std::string kAudioKey = "tone.wav";

// Sets an environment variable for as long as it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* previous = std::getenv(name)) m_previous = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (m_previous) {
            ::setenv(m_name, m_previous->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

// Thirty seconds of a quiet 440 Hz tone, 8 kHz mono, as a WAV file.
std::string toneWav() {
    constexpr int rate = 8000;
    constexpr int samples = rate * 30;
    std::string wav;
    const auto little = [&wav](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    wav += "RIFF";
    little(36 + samples * 2, 4);
    wav += "WAVEfmt ";
    little(16, 4);
    little(1, 2);  // PCM
    little(1, 2);  // mono
    little(rate, 4);
    little(rate * 2, 4);
    little(2, 2);
    little(16, 2);
    wav += "data";
    little(samples * 2, 4);
    for (int i = 0; i < samples; ++i) {
        const double value = 3000 * std::sin(2 * std::numbers::pi * 440 * i / rate);
        little(static_cast<std::uint16_t>(static_cast<std::int16_t>(value)), 2);
    }
    return wav;
}

// Runs the event loop until `done` holds; false when it did not within 20 s.
bool waitUntil(const std::function<bool()>& done) {
    return tarn::bench::waitInEventLoop(done, 20s);
}

// Runs the event loop, as the program does, for `span`.
void runFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// The whole process's CPU time (every thread) over `span` of event loop, in percent
// of one core.
double idleCpuPercent(std::chrono::milliseconds span) {
    const double start = tarn::bench::processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    runFor(span);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return (tarn::bench::processCpuSeconds() - start) / wall * 100.0;
}

// The program's window, offscreen, on a bucket of the test server: its delegate with
// the configuration, cache and settings of a folder of its own.
class IdleWindow {
public:
    explicit IdleWindow(const tarn::test::S3TestServer& server)
        : m_bucket(tarn::test::createBucket(server, "bench-idle")),
          m_configHome("XDG_CONFIG_HOME", (m_folder.path() / "config").native()),
          m_cacheHome("XDG_CACHE_HOME", (m_folder.path() / "cache").native()) {
        tarn::S3Client client;
        const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
        const fs::path tone = m_folder.path() / kAudioKey;
        {
            QFile file(QString::fromStdString(tone.native()));
            const std::string wav = toneWav();
            if (!file.open(QIODevice::WriteOnly) || file.write(wav.data(), static_cast<qint64>(wav.size())) < 0) {
                throw std::runtime_error("cannot write the sound file");
            }
        }
        client.upload(tone, m_bucket, credentials, kAudioKey);
        tarn::test::putObjects(server, m_bucket, {"notes.txt", "photos/a.jpg", "photos/b.jpg", "report.pdf"});

        QCoreApplication::setOrganizationName(QStringLiteral("TarnManager"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnManagerBench"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((m_folder.path() / "settings").native()));
        tarn::AppConfig config = tarn::ConfigStore::defaultConfig();
        config.languageCode = "en";
        const tarn::StorageProfile profile = tarn::bench::benchProfile(server, m_bucket.bucketName);
        config.profiles.push_back(profile);
        tarn::ConfigStore().save(config);

        m_delegate = std::make_unique<tarn::AppDelegate>(tarn::WindowContentFactory::standard(),
                                                         std::make_unique<tarn::bench::FixedSecretStore>(server.secretKey));
        m_delegate->launch();
    }
    ~IdleWindow() {
        m_delegate->shutdown();
        m_delegate.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    IdleWindow(const IdleWindow&) = delete;
    IdleWindow& operator=(const IdleWindow&) = delete;

    tarn::AppDelegate& delegate() { return *m_delegate; }
    tarn::AppState& state() { return m_delegate->state(); }
    const fs::path& folder() const { return m_folder.path(); }

    // Start-up has ended and the bucket's root is listed.
    bool open() {
        return waitUntil([this] { return state().hasLoaded() && !state().isLoading() && !state().objects().empty(); });
    }

    // The main window made the active one, as the window a user works in: its status
    // dot breathes then (it rests in a window in the background), the dearest case.
    bool bringToFront() {
        tarn::MainWindow* main = m_delegate->window();
        main->activateWindow();
        auto* dot = main->findChild<tarn::StatusDotView*>();
        return dot != nullptr && waitUntil([&] { return main->isActiveWindow() && dot->isDrawingFrames(); });
    }

    // The audio file selected, its preview loaded, played for a moment and paused.
    bool pauseAudio() {
        state().setSelectedObjectKeys({kAudioKey});
        tarn::MediaPreview* media = nullptr;
        const bool loaded = waitUntil([&] {
            media = m_delegate->window()->findChild<tarn::MediaPreview*>();
            return media != nullptr && media->player()->mediaStatus() == QMediaPlayer::LoadedMedia;
        });
        if (!loaded) return false;
        media->player()->play();
        if (!waitUntil([&] { return media->player()->position() >= 300; })) return false;
        media->player()->pause();
        return waitUntil([&] { return media->player()->playbackState() == QMediaPlayer::PausedState; });
    }

    // A small object downloaded through the queue, so that the panel lists a task,
    // then the panel shown.
    bool openPanel() {
        state().setSelectedObjectKeys({});
        tarn::TransferTask task;
        task.id = tarn::Uuid::random();
        task.title = "notes.txt";
        task.spec.value = tarn::DownloadSpec{"notes.txt", m_folder.path() / "notes.txt", false, std::nullopt};
        task.bytesTotal = 1;
        task.bucketID = state().selectedBucketID();
        tarn::TransferCenter& transfers = state().transfers();
        transfers.append(std::move(task));
        transfers.pumpIfIdle();
        if (!waitUntil([&] { return !transfers.hasActive() && !transfers.runningID(); })) return false;
        m_delegate->showTransferPanel();
        return true;
    }

private:
    tarn::bench::ScratchFolder m_folder{"idle"};
    tarn::BucketConfig m_bucket;
    ScopedVariable m_configHome;
    ScopedVariable m_cacheHome;
    std::unique_ptr<tarn::AppDelegate> m_delegate;
};

// The program's main window left alone, offscreen, on a bucket of the test server:
// the whole process's CPU time (every thread) as a percentage of one core, over
// kIdleSpan of event loop each, with nothing selected (cpu_percent_idle), with a
// paused audio preview in the inspector (cpu_percent_paused_audio), and with the
// transfer panel open beside the window (cpu_percent_panel). The main window is the
// active one throughout, so that its status dot breathes. A window that sits open all
// day must cost next to nothing; the goal is 0.3 % each.
void BM_IdleWindow(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    double idle = 0;
    double pausedAudio = 0;
    double panel = 0;
    for (auto _ : state) {
        IdleWindow window(*server);
        if (!window.open()) {
            state.SkipWithError("the window did not open its bucket");
            return;
        }
        if (!window.bringToFront()) {
            state.SkipWithError("the window did not become the active one with its dot breathing");
            return;
        }
        runFor(kSettleSpan);
        idle += idleCpuPercent(kIdleSpan);

        if (!window.pauseAudio()) {
            state.SkipWithError("the audio preview did not load, play and pause");
            return;
        }
        runFor(kSettleSpan);
        pausedAudio += idleCpuPercent(kIdleSpan);

        if (!window.openPanel()) {
            state.SkipWithError("the transfer panel's download did not end");
            return;
        }
        if (!window.bringToFront()) {
            state.SkipWithError("the window did not become the active one again beside the panel");
            return;
        }
        runFor(kSettleSpan);
        panel += idleCpuPercent(kIdleSpan);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["cpu_percent_idle"] = idle / iterations;
    state.counters["cpu_percent_paused_audio"] = pausedAudio / iterations;
    state.counters["cpu_percent_panel"] = panel / iterations;
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
