// Protocol decoding: a full 20 MHz Logic capture of the simulator (32767
// sample periods) with the UART, SPI and I2C decoders, from the capture to
// every annotation stored and sorted. Target: at most 150 ms, by the
// wall-clock time (the decoders run on the library's own threads, so the
// process CPU time is shown beside it, not the benchmark thread's).
//
// The same decoding from the window: the longest stretch the UI thread is
// kept from its events while the decoders are added or the capture changes,
// and the result comes in and is shown (table, byte streams, annotation
// strip). Target: at most 16 ms,
// one frame.
//
// Beside it, sigrok-cli decoding the same capture from a session file with
// the same three decoders, as the whole command takes it (its start, loading
// the three decoders, reading the file, printing), and the ratio of the two.
//
// Decoders that misbehave (tests/support/test_decoders.cpp, written into
// this program's own user decoder folder at its start):
// - from Stop, or from the run being cancelled as when its decoder is
//   removed, to the engine idle, with a decoder spinning in Python: at most
//   0.5 s;
// - what watching a run for stops and limits adds to decoding the full
//   capture with uart + spi + i2c: at most 2 %;
// - the memory of the program once a decoder that puts out annotations
//   without end has been stopped at the default limit and its annotations are
//   shown in the panel: well under 1 GiB.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <functional>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "decode/decode_engine.h"
#include "decode/run_guard.h"
#include "export/capture_file_io.h"
#include "frame/capture_transfer.h"
#include "panels/decoders_dock.h"
#include "support/simulator_capture.h"

namespace {

constexpr double kTargetMs = 150.0;
const QStringList &kStacks = SimulatorDecoderStacks();

double g_oursMs = 0; // the decoding benchmark's figure, for the ratio


void BM_DecodeFullCapture(benchmark::State &st)
{
    const bench::Stopwatch load;
    const auto catalog = LoadDecoderCatalog(); // first use: the library and every decoder
    const double loadMs = load.wallSeconds() * 1e3;
    if (!catalog->error().isEmpty()) {
        st.SkipWithError(catalog->error().toStdString().c_str());
        return;
    }
    const Capture capture = SimulatorCapture();
    DecodeRequest request;
    QString error;
    if (!ParseDecodeRequest(kStacks, *catalog, &request, &error)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    double wall = 0, cpu = 0;
    size_t annotations = 0;
    for (auto _ : st) {
        const double cpu0 = bench::ProcessCpuSeconds();
        const bench::Stopwatch watch;
        const auto result = DecodeNow(capture, request);
        const double s = watch.wallSeconds();
        cpu += bench::ProcessCpuSeconds() - cpu0;
        wall += s;
        st.SetIterationTime(s);
        if (result->hasErrors()) {
            st.SkipWithError(result->errors().join(QLatin1Char('\n')).toStdString().c_str());
            return;
        }
        annotations = 0;
        for (const DecodeInstanceResult &i : result->instances)
            annotations += i.annotationCount();
    }
    const double n = double(st.iterations());
    g_oursMs = wall * 1e3 / n;
    st.counters["annotations"] = double(annotations);
    st.counters["process_cpu_ms"] = cpu * 1e3 / n;
    st.counters["first_use_load_ms"] = loadMs;
    st.SetLabel(bench::Verdict(g_oursMs, kTargetMs, "ms"));
}

void BM_DecodeUiStall(benchmark::State &st)
{
    constexpr double kStallTargetMs = 16.0;
    auto window = bench::MakeFramedForm(false);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.log"));
    QString error;
    QStringList warnings;
    if (!ExportCaptureFile(SimulatorCapture(), path, &error) || !ImportIntoWindow(window->form(), path, &error, &warnings)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    DecodersDock &dock = window->decoders();
    bool shown = false;
    QObject::connect(&dock, &DecodersDock::resultShown, [&] { shown = true; });

    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    const auto mark = [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    };
    QTimer tick; // keeps the event loop turning, as a window's timers and input do
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, mark);
    tick.start();
    // One run: from `start` (which restarts decoding) to the result shown
    // and painted; the longest gap between two turns of the event loop.
    const auto decodeOnce = [&](const std::function<void()> &start) {
        shown = false;
        worst = 0;
        clock.start();
        last = 0;
        start();
        mark();
        while (!shown) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            mark();
        }
        QCoreApplication::processEvents(); // the strip and the table paint
        mark();
    };
    // The first time, the panel and the strip appear and the window grows
    // around them: a one-time cost, reported apart.
    decodeOnce([&] {
        for (const QString &s : kStacks)
            dock.addDecoder(s); // each one restarts the run, cancelling the one before
    });
    st.counters["first_show_stall_ms"] = double(worst) / 1e6;
    double worstMs = 0, wallMs = 0;
    for (auto _ : st) {
        decodeOnce([&] { emit window->form().captureChanged(); }); // as after a read: everything decodes again
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        st.SetIterationTime(double(worst) / 1e9);
        worstMs = std::max(worstMs, double(worst) / 1e6);
        wallMs += ms;
        if (!dock.result() || dock.result()->hasErrors()) {
            st.SkipWithError("decoding failed");
            return;
        }
    }
    st.counters["capture_to_shown_ms"] = wallMs / double(st.iterations());
    st.counters["longest_stall_ms"] = worstMs;
    st.SetLabel(bench::Verdict(worstMs, kStallTargetMs, "ms"));
}

void BM_SigrokCliSameDecoders(benchmark::State &st)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty()) {
        st.SkipWithError("sigrok-cli is not installed");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.sr"));
    QString error;
    if (!ExportCaptureFile(SimulatorCapture(), path, &error)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    QStringList args{QStringLiteral("-i"), path};
    for (const QString &s : kStacks)
        args << QStringLiteral("-P") << s;
    double wall = 0;
    qsizetype lines = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        QProcess p;
        p.start(QStringLiteral("sigrok-cli"), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            st.SkipWithError("sigrok-cli failed");
            return;
        }
        const QByteArray out = p.readAllStandardOutput();
        const double s = watch.wallSeconds();
        wall += s;
        st.SetIterationTime(s);
        lines = out.count('\n');
    }
    const double ms = wall * 1e3 / double(st.iterations());
    st.counters["annotations"] = double(lines);
    char label[160];
    std::snprintf(label, sizeof label, "sigrok-cli %s, this program %s: sigrok-cli takes %.1fx as long",
                  bench::Figure(ms, "ms").c_str(), bench::Figure(g_oursMs, "ms").c_str(),
                  g_oursMs > 0 ? ms / g_oursMs : 0.0);
    st.SetLabel(label);
}

// Current resident memory of this process, in KiB.
long ResidentKiB()
{
    long kib = -1;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1)
                break;
        std::fclose(f);
    }
    return kib;
}

DecodeRequest RequestFor(const QStringList &stacks)
{
    DecodeRequest request;
    QString error;
    ParseDecodeRequest(stacks, *LoadDecoderCatalog(), &request, &error);
    return request;
}

void BM_DecodeStopToIdle(benchmark::State &st)
{
    const bool byStop = st.range(0) == 0;
    constexpr double kTargetMs = 500;
    if (!LoadDecoderCatalog()->find(QStringLiteral("hang"))) {
        st.SkipWithError("the test decoders are not in the user decoder folder");
        return;
    }
    const Capture capture = SimulatorCapture();
    const DecodeRequest request = RequestFor({kStacks[0], QStringLiteral("hang:data=CH2")});
    DecodeEngine engine;
    double total = 0, worst = 0;
    for (auto _ : st) {
        engine.start(capture, request);
        // Long enough for the worker to be deep in the decoder's loop.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!engine.isBusy()) {
            st.SkipWithError("the decoder did not hang");
            return;
        }
        const bench::Stopwatch watch;
        if (byStop)
            engine.stop();
        else
            engine.cancel();
        while (engine.isBusy())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const double s = watch.wallSeconds();
        st.SetIterationTime(s);
        total += s;
        worst = std::max(worst, s);
        QCoreApplication::processEvents(); // the stopped run's result
    }
    st.counters["mean_ms"] = total * 1e3 / double(st.iterations());
    st.counters["worst_ms"] = worst * 1e3;
    st.SetLabel(std::string(byStop ? "Stop: " : "cancel (decoder removed): ") + bench::Verdict(worst * 1e3, kTargetMs, "ms"));
}

void BM_DecodeWatchOverhead(benchmark::State &st)
{
    constexpr double kTargetPercent = 2.0;
    const Capture capture = SimulatorCapture();
    const DecodeRequest request = RequestFor(kStacks);
    DecodeLimits watched, unwatched;
    unwatched.interruptible = false;
    std::vector<double> wall[2], cpu[2];
    DecodeNow(capture, request, watched); // warm up
    int round = 0;
    for (auto _ : st) {
        // Taking turns, each first every other time, so a busy moment of the
        // machine and warm caches fall on both alike.
        for (int turn = 0; turn < 2; ++turn) {
            const int k = (turn + round) % 2;
            const double cpu0 = bench::ProcessCpuSeconds();
            const bench::Stopwatch watch;
            const auto result = DecodeNow(capture, request, k == 0 ? watched : unwatched);
            wall[k].push_back(watch.wallSeconds());
            cpu[k].push_back(bench::ProcessCpuSeconds() - cpu0);
            if (result->hasErrors() || result->stopped()) {
                st.SkipWithError("decoding failed");
                return;
            }
        }
        st.SetIterationTime(wall[0].back());
        ++round;
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };

    // On a busy machine two medians of a few milliseconds differ by more than
    // what is looked for, either way; so the watching is also timed by
    // itself, as a run of the three stacks does it: the guard set up and
    // taken down (waking the watchdog thread twice), and every library call
    // of the run (each stack opened, fed 8 chunks and closed) entered and
    // left. Process CPU time: the watchdog thread's share counts too.
    constexpr int kRuns = 2000;
    const int calls = int(kStacks.size()) * (1 + int((capture.sampleCount() + 4095) / 4096) + 1);
    const double cpu0 = bench::ProcessCpuSeconds();
    const bench::Stopwatch watch;
    for (int i = 0; i < kRuns; ++i) {
        DecodeControl control;
        decode_internal::RunGuard guard(control, watched.timeLimitSeconds);
        for (int c = 0; c < calls; ++c) {
            guard.enter(c % int(kStacks.size()));
            guard.leave();
        }
    }
    const double guardCpuUs = (bench::ProcessCpuSeconds() - cpu0) * 1e6 / kRuns;
    const double guardWallUs = watch.wallSeconds() * 1e6 / kRuns;
    const double percent = guardCpuUs / (median(cpu[1]) * 1e6) * 100;

    st.counters["watched_ms"] = median(wall[0]) * 1e3;
    st.counters["unwatched_ms"] = median(wall[1]) * 1e3;
    st.counters["watched_cpu_ms"] = median(cpu[0]) * 1e3;
    st.counters["unwatched_cpu_ms"] = median(cpu[1]) * 1e3;
    st.counters["watching_cpu_us"] = guardCpuUs;
    st.counters["watching_wall_us"] = guardWallUs;
    char label[200];
    std::snprintf(label, sizeof label,
                  "watching a run: %.0f us cpu = %.2f %% of the run's %.2f ms cpu (target <= %.0f %%): %s; "
                  "medians watched/unwatched %+.1f %% wall",
                  guardCpuUs, percent, median(cpu[1]) * 1e3, kTargetPercent, percent <= kTargetPercent ? "met" : "NOT met",
                  (median(wall[0]) / median(wall[1]) - 1) * 100);
    st.SetLabel(label);
}

void BM_DecodeAnnotationFlood(benchmark::State &st)
{
    constexpr double kTargetMiB = 1024;
    auto window = bench::MakeFramedForm(false);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sim.log"));
    QString error;
    QStringList warnings;
    if (!ExportCaptureFile(SimulatorCapture(), path, &error) || !ImportIntoWindow(window->form(), path, &error, &warnings)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    DecodersDock &dock = window->decoders();
    bool shown = false;
    QObject::connect(&dock, &DecodersDock::resultShown, [&] { shown = true; });
    double seconds = 0, residentMiB = 0, growthMiB = 0;
    size_t annotations = 0;
    for (auto _ : st) {
        dock.removeAll();
        bench::DrainEvents();
        const long before = ResidentKiB();
        const bench::Stopwatch watch;
        shown = false;
        dock.addDecoder(QStringLiteral("flood:data=CH1"));
        while (!shown)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::processEvents(); // the table and the strip paint
        seconds = watch.wallSeconds();
        st.SetIterationTime(seconds);
        residentMiB = double(ResidentKiB()) / 1024;
        growthMiB = double(ResidentKiB() - before) / 1024;
        if (!dock.result() || !dock.result()->stopped()) {
            st.SkipWithError("the flood was not stopped");
            return;
        }
        annotations = dock.result()->instances[0].annotationCount();
    }
    dock.removeAll();
    st.counters["annotations"] = double(annotations);
    st.counters["resident_MiB"] = residentMiB;
    st.counters["growth_MiB"] = growthMiB;
    st.counters["bytes_per_annotation"] = growthMiB * 1048576 / double(std::max<size_t>(annotations, 1));
    st.SetLabel(bench::Verdict(residentMiB, kTargetMiB, "MiB resident"));
}

} // namespace

BENCHMARK(BM_DecodeFullCapture)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeUiStall)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigrokCliSameDecoders)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStopToIdle)->Arg(0)->Arg(1)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeWatchOverhead)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAnnotationFlood)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
