#include "BenchApplication.h"

#include "BenchSupport.h"

#include <algorithm>
#include <chrono>

namespace tarn::bench {

namespace {

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

BenchApplication::BenchApplication(int& argc, char** argv) : QApplication(argc, argv) {}

BenchApplication& BenchApplication::instance() {
    return *static_cast<BenchApplication*>(QCoreApplication::instance());
}

bool BenchApplication::notify(QObject* receiver, QEvent* event) {
    // Nested events belong to the step that delivers them.
    if (!m_measuring || m_depth > 0) return QApplication::notify(receiver, event);
    Step step(*this);
    return QApplication::notify(receiver, event);
}

void BenchApplication::startMeasuring() {
    m_measuring = true;
    m_cpuSeconds = 0;
    m_maxStepSeconds = 0;
    m_maxStepWallSeconds = 0;
}

BenchApplication::Step::Step(BenchApplication& app) : app(app), cpu(threadCpuSeconds()), wall(wallSeconds()) {
    ++app.m_depth;
}

BenchApplication::Step::~Step() {
    --app.m_depth;
    const double seconds = threadCpuSeconds() - cpu;
    app.m_cpuSeconds += seconds;
    app.m_maxStepSeconds = std::max(app.m_maxStepSeconds, seconds);
    app.m_maxStepWallSeconds = std::max(app.m_maxStepWallSeconds, wallSeconds() - wall);
}

}  // namespace tarn::bench
