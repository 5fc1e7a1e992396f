// Benchmark program: one QApplication on the offscreen platform for every
// benchmark. Started with --startup-probe it is instead the subject of the
// start-up benchmark (see bench_startup.cpp).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstring>

#include "bench_support.h"

int main(int argc, char **argv)
{
    const auto mainStart = std::chrono::steady_clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], bench::kStartupProbeArg) == 0)
        return bench::RunStartupProbe(argc, argv, mainStart);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
