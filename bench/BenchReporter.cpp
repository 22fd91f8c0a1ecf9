#include "BenchReporter.h"

#include "BenchSupport.h"

#include <ostream>
#include <string>

namespace tarn::bench {

BenchReporter::BenchReporter() : m_format(benchmark::CreateDefaultDisplayReporter()) {}

BenchReporter::~BenchReporter() = default;

bool BenchReporter::ReportContext(const Context& context) {
    return m_format->ReportContext(context);
}

void BenchReporter::ReportRuns(const std::vector<Run>& reports) {
    const bool console = dynamic_cast<benchmark::ConsoleReporter*>(m_format.get()) != nullptr;
    std::vector<Run> shown;
    for (const Run& run : reports) {
        const std::optional<std::string> skipped = run.error_occurred ? skipReason(run.error_message) : std::nullopt;
        if (run.error_occurred && !skipped) ++m_failures;
        if (skipped && console) {
            GetOutputStream() << run.benchmark_name() << "  SKIPPED: " << *skipped << '\n';
        } else {
            shown.push_back(run);
        }
    }
    if (!shown.empty()) m_format->ReportRuns(shown);
}

void BenchReporter::Finalize() {
    m_format->Finalize();
    if (m_failures > 0) {
        GetErrorStream() << m_failures << (m_failures == 1 ? " benchmark" : " benchmarks")
                         << " ended in an error: nothing was measured there.\n";
    }
}

}  // namespace tarn::bench
