// Benchmark program: one QApplication on the offscreen platform for every
// benchmark. Started with --startup-probe it is instead the subject of the
// start-up benchmark (see bench_startup.cpp).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "bench_support.h"
#include "support/private_home.h"
#include "support/test_decoders.h"

int main(int argc, char **argv)
{
    const auto mainStart = std::chrono::steady_clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    UsePrivateUserFolders();
    WriteTestDecoders(); // misbehaving decoders for bench_decode.cpp
    // Qt wants a private runtime directory; without one it warns on every
    // start, which would clutter the table (the start-up probe starts often).
    char runtimeDir[] = "/tmp/la-bench-XXXXXX";
    const bool ownRuntimeDir = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && mkdtemp(runtimeDir) != nullptr;
    if (ownRuntimeDir)
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    if (argc > 1 && std::strcmp(argv[1], bench::kStartupProbeArg) == 0) {
        const int status = bench::RunStartupProbe(argc, argv, mainStart);
        if (ownRuntimeDir)
            rmdir(runtimeDir);
        return status;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ownRuntimeDir)
        rmdir(runtimeDir);
    return 0;
}
