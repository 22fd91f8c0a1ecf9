#include "ui/window/MainThreadProbe.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace tarn {
namespace {

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Keeps the thread busy for `ms` of its own CPU time, however loaded the machine.
void burn(double ms)
{
    const double until = threadCpuMs() + ms;
    volatile unsigned sink = 0;
    while (threadCpuMs() < until) {
        for (int i = 0; i < 1000; ++i) {
            sink = sink + static_cast<unsigned>(i);
        }
    }
}

std::string contentsOf(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        text += buffer;
    }
    return text;
}

// Two stretches of work with a wait between them are two spans: each is timed on its
// own, and each long one is written down as it ends.
TEST(MainThreadProbe, TimesEachBusyStretchBetweenTwoWaits)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        MainThreadProbe probe(out);
        QEventLoop loop;
        // Each next stretch is started by a timer set when the last one ended, so the
        // thread waits between them even on a loaded machine.
        QTimer::singleShot(0, &loop, [&] {
            burn(30);
            QTimer::singleShot(std::chrono::milliseconds(30), &loop, [&] {
                burn(30);
                QTimer::singleShot(std::chrono::milliseconds(30), &loop, &QEventLoop::quit);
            });
        });
        loop.exec();

        EXPECT_GE(probe.longest().cpuMs, 30);
        EXPECT_GE(probe.longest().wallMs, 30);
        EXPECT_LT(probe.longest().cpuMs, 55) << "the two stretches were taken for one";
    }
    const std::string report = contentsOf(out);
    std::fclose(out);
    std::size_t spans = 0;
    for (std::size_t at = report.find(" busy "); at != std::string::npos; at = report.find(" busy ", at + 1)) {
        ++spans;
    }
    EXPECT_GE(spans, 2u) << report;
    EXPECT_NE(report.find("longest busy span"), std::string::npos) << report;
}

}  // namespace
}  // namespace tarn
