#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace tarn::bench {

// The display reporter of the benchmark program: shows each run as the chosen format
// (--benchmark_format) does, and remembers whether any run ended in an error, so that
// the program can fail rather than print an error and exit 0. A run skipped with
// skip() (a server or keyring that is not there) is no error; the console shows it
// as "SKIPPED" with its reason.
class BenchReporter : public benchmark::BenchmarkReporter {
public:
    BenchReporter();
    ~BenchReporter() override;

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& reports) override;
    void Finalize() override;

    // How many runs ended in an error that was not a skip.
    int failures() const { return m_failures; }

private:
    std::unique_ptr<benchmark::BenchmarkReporter> m_format;
    int m_failures = 0;
};

}  // namespace tarn::bench
