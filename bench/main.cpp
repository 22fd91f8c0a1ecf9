#include "BenchApplication.h"
#include "BenchReporter.h"

#include "ui/theme/TarnTheme.h"

#include <benchmark/benchmark.h>

// The benchmarks' own entry: the window's benchmarks show widgets, so the program
// runs on a QApplication (offscreen unless a platform is chosen) with the program's
// theme; the others do not need it and are not affected by it. The program fails
// when any benchmark it ran ended in an error, so that one that stopped measuring
// cannot pass unnoticed; a benchmark skipped for a missing service does not fail it.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tarn::bench::BenchApplication application(argc, argv);
    tarn::TarnTheme::apply(application);
    tarn::bench::BenchReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failures() > 0 ? 1 : 0;
}
