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

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QPaintEvent>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
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

// What the window costs left alone for a span: the whole process's CPU time (every
// thread) in percent of one core, and what it painted meanwhile. On a real window
// system every pixel painted is also sent to the screen, which the offscreen platform
// does not charge for: the area painted is what tells a cheap frame from a dear one
// there.
struct IdleCost {
    double cpuPercent = 0;
    // How often the main thread woke, per second.
    double mainWakeupsPerSecond = 0;
    // Frames of the status dot, and the pixels all the program's widgets painted.
    int dotFrames = 0;
    std::int64_t paintedPixels = 0;
    // Paint events of widgets other than the dot.
    int otherPaints = 0;

    double pixelsPerDotFrame() const {
        return static_cast<double>(paintedPixels) / static_cast<double>(std::max(dotFrames, 1));
    }
};

// Counts every paint event of the application's widgets while it lives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(IdleCost& cost) : m_cost(cost) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) {
            m_cost.paintedPixels += static_cast<std::int64_t>(rect.width()) * rect.height();
        }
        if (qobject_cast<tarn::StatusDotView*>(watched) != nullptr) {
            ++m_cost.dotFrames;
        } else {
            ++m_cost.otherPaints;
        }
        return false;
    }

private:
    IdleCost& m_cost;
};

IdleCost idleCost(std::chrono::milliseconds span) {
    IdleCost cost;
    const PaintCounter counter(cost);
    const double start = tarn::bench::processCpuSeconds();
    const long switches = tarn::bench::threadSwitches();
    const auto wallStart = std::chrono::steady_clock::now();
    runFor(span);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    cost.cpuPercent = (tarn::bench::processCpuSeconds() - start) / wall * 100.0;
    // Less the one wake-up that ends the span.
    cost.mainWakeupsPerSecond = static_cast<double>(tarn::bench::threadSwitches() - switches - 1) / wall;
    return cost;
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

// Whether the span measured what it is meant to: the dot breathing (a window that lost
// the activation meanwhile rests its dot, and its figures would be those of another,
// cheaper window) and, with `onlyTheDot`, nothing but the dot painted. Fails the
// benchmark when not.
bool measuredTheBreathingWindow(benchmark::State& state, const IdleCost& cost, const char* phase, bool onlyTheDot) {
    constexpr int kDotArea = tarn::StatusDotView::side * tarn::StatusDotView::side;
    const bool paintedMore = onlyTheDot && (cost.otherPaints > 0 || cost.pixelsPerDotFrame() > kDotArea);
    if (cost.dotFrames > 0 && !paintedMore) return true;
    const std::string why = cost.dotFrames == 0 ? "the status dot drew no frame (the window was not the active one)"
                                                : "a frame of the idle window painted more than the status dot";
    state.SkipWithError((std::string(phase) + ": " + why + ": " + std::to_string(cost.dotFrames) + " dot frames, " +
                         std::to_string(cost.otherPaints) + " other paints, " + std::to_string(cost.paintedPixels) +
                         " pixels")
                            .c_str());
    return false;
}

// The program's main window left alone, on a bucket of the test server: the whole
// process's CPU time (every thread) as a percentage of one core, over kIdleSpan of
// event loop each, with nothing selected (cpu_percent_idle), with a paused audio
// preview in the inspector (cpu_percent_paused_audio), and with the transfer panel
// open beside the window (cpu_percent_panel). The main window is the active one
// throughout, so that its status dot breathes. A window that sits open all day must
// cost next to nothing; the goal is 0.3 % each. main_wakeups_per_s_idle counts how
// often the main thread woke meanwhile: each wake-up costs a switch of the processor
// on top of the work done, which is most of what an idle frame costs.
//
// Offscreen (the default) painting costs little, since nothing reaches a screen; what
// a frame would cost on one shows in the area painted: painted_px_per_dot_frame is
// every pixel the window's widgets painted over the idle span per frame of the dot,
// and the benchmark fails when it is more than the dot's own area (something behind
// or beside the dot was repainted with it). On a real window system the CPU figures
// are the real ones: run it there, e.g.
//   xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb build/bench/tarn-bench --benchmark_filter=Idle
void BM_IdleWindow(benchmark::State& state) {
    const std::optional<tarn::test::S3TestServer> server = tarn::bench::serverOrSkip(state);
    if (!server) return;
    double idle = 0;
    double idleWakeups = 0;
    double pausedAudio = 0;
    double panel = 0;
    double idlePixels = 0;
    double audioPixels = 0;
    double panelPixels = 0;
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
        const IdleCost quiet = idleCost(kIdleSpan);
        idle += quiet.cpuPercent;
        idleWakeups += quiet.mainWakeupsPerSecond;
        idlePixels += quiet.pixelsPerDotFrame();
        if (!measuredTheBreathingWindow(state, quiet, "idle", true)) return;

        if (!window.pauseAudio()) {
            state.SkipWithError("the audio preview did not load, play and pause");
            return;
        }
        runFor(kSettleSpan);
        const IdleCost paused = idleCost(kIdleSpan);
        pausedAudio += paused.cpuPercent;
        audioPixels += paused.pixelsPerDotFrame();
        if (!measuredTheBreathingWindow(state, paused, "paused audio", false)) return;

        if (!window.openPanel()) {
            state.SkipWithError("the transfer panel's download did not end");
            return;
        }
        // The panel takes the activation when the window system gets to it, which may
        // be after the main window was made active again: it settles first.
        runFor(kSettleSpan);
        if (!window.bringToFront()) {
            state.SkipWithError("the window did not become the active one again beside the panel");
            return;
        }
        runFor(kSettleSpan);
        const IdleCost beside = idleCost(kIdleSpan);
        panel += beside.cpuPercent;
        panelPixels += beside.pixelsPerDotFrame();
        if (!measuredTheBreathingWindow(state, beside, "panel", false)) return;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["cpu_percent_idle"] = idle / iterations;
    state.counters["main_wakeups_per_s_idle"] = idleWakeups / iterations;
    state.counters["cpu_percent_paused_audio"] = pausedAudio / iterations;
    state.counters["cpu_percent_panel"] = panel / iterations;
    state.counters["painted_px_per_dot_frame"] = idlePixels / iterations;
    state.counters["painted_px_per_dot_frame_paused_audio"] = audioPixels / iterations;
    state.counters["painted_px_per_dot_frame_panel"] = panelPixels / iterations;
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
