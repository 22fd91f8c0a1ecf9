#include "ui/theme/TarnTheme.h"

#include <QApplication>

#include <benchmark/benchmark.h>

// The benchmarks' own entry: the browser's benchmark shows widgets, so the program
// runs on a QApplication (offscreen unless a platform is chosen) with the program's
// theme. The other benchmarks do not need it and are not affected by it.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    QApplication application(argc, argv);
    tarn::TarnTheme::apply(application);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
