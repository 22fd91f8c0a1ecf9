#pragma once

#include <QApplication>

namespace tarn::bench {

// The benchmark program's one application object: a QApplication, since the window
// benchmarks show widgets, that can also time the main thread's share of the work.
// While measuring, every event it delivers is one step, timed in the thread's CPU
// time (waiting for the network costs nothing, and time the machine gave to other
// programs is not ours); the longest step in wall time is kept too: on a quiet
// machine it is what a user would see as a frozen window.
class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv);

    // The program's application object.
    static BenchApplication& instance();

    bool notify(QObject* receiver, QEvent* event) override;

    // Work the benchmark starts itself, outside an event, counted as one step.
    template <class F>
    void measure(F&& work) {
        Step step(*this);
        work();
    }

    void startMeasuring();
    void stopMeasuring() { m_measuring = false; }
    double cpuSeconds() const { return m_cpuSeconds; }
    double maxStepSeconds() const { return m_maxStepSeconds; }
    double maxStepWallSeconds() const { return m_maxStepWallSeconds; }

private:
    struct Step {
        explicit Step(BenchApplication& app);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        BenchApplication& app;
        double cpu;
        double wall;
    };

    bool m_measuring = false;
    int m_depth = 0;
    double m_cpuSeconds = 0;
    double m_maxStepSeconds = 0;
    double m_maxStepWallSeconds = 0;
};

}  // namespace tarn::bench
