// Export and import: a full Logic capture (32767 sample periods, every
// channel changing in every period, 20 MHz) written to and read from a file
// in each format (.log, .vcd, .csv, .sr). Target: at most 20 ms each, judged
// by the wall-clock time since the disk is part of the cost, with the CPU
// time beside it. For scale, the same VCD converted to .sr by sigrok-cli and
// by this program, side by side.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "bench_support.h"
#include "export/capture_convert.h"
#include "export/capture_file_io.h"

namespace {

constexpr double kTargetMs = 20.0;
constexpr int32_t kPeriods = 32767;

Capture FullLogicCapture()
{
    std::vector<CaptureRecord> records(size_t(kPeriods), CaptureRecord{});
    for (int32_t n = 0; n < kPeriods; ++n)
        records[size_t(n)] = {n, uint8_t((n & 1) ? 0xAA : 0x55), 0};
    return Capture(Capture::Mode::Logic, 0, kPeriods, std::move(records));
}

void Label(benchmark::State &st, double wall, double cpu, const QString &path)
{
    const double n = double(st.iterations());
    st.counters["cpu_ms"] = cpu * 1e3 / n;
    st.counters["file_bytes"] = double(QFileInfo(path).size());
    st.SetLabel(bench::Verdict(wall * 1e3 / n, kTargetMs, "ms"));
}

void BM_ExportFullLogic(benchmark::State &st, const char *extension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.") + QLatin1String(extension));
    const Capture capture = FullLogicCapture();
    double wall = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        QString error;
        if (!ExportCaptureFile(capture, path, &error)) {
            st.SkipWithError(error.toStdString().c_str());
            return;
        }
        const double s = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        st.SetIterationTime(s);
        wall += s;
    }
    Label(st, wall, cpu, path);
}

void BM_ImportFullLogic(benchmark::State &st, const char *extension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.") + QLatin1String(extension));
    QString error;
    if (!ExportCaptureFile(FullLogicCapture(), path, &error)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    double wall = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        const ImportResult r = ImportCaptureFile(path);
        const double s = watch.wallSeconds();
        if (!r.ok || r.capture.sampleCount() != kPeriods) {
            st.SkipWithError("the capture did not come back");
            return;
        }
        cpu += watch.cpuSeconds();
        st.SetIterationTime(s);
        wall += s;
    }
    Label(st, wall, cpu, path);
}

// The same VCD to .sr: sigrok-cli (one process per conversion, reading the
// VCD back at 20 MHz) against ConvertCaptureFile, both by wall-clock time.
void BM_VcdToSigrokSession(benchmark::State &st)
{
    const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    if (sigrok.isEmpty()) {
        st.SkipWithError("sigrok-cli is not installed");
        return;
    }
    QTemporaryDir dir;
    const QString vcd = dir.filePath(QStringLiteral("capture.vcd"));
    const QString ours = dir.filePath(QStringLiteral("ours.sr"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.sr"));
    QString error;
    if (!ExportCaptureFile(FullLogicCapture(), vcd, &error)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    double oursSeconds = 0, theirsSeconds = 0;
    for (auto _ : st) {
        bench::Stopwatch watch;
        if (!ConvertCaptureFile(vcd, ours, &error)) {
            st.SkipWithError(error.toStdString().c_str());
            return;
        }
        const double o = watch.wallSeconds();
        watch.restart();
        QFile::remove(theirs);
        const int status = QProcess::execute(sigrok, {QStringLiteral("-i"), vcd, QStringLiteral("-I"),
                                                      QStringLiteral("vcd:downsample=5"), QStringLiteral("-o"), theirs});
        const double t = watch.wallSeconds();
        if (status != 0) {
            st.SkipWithError("sigrok-cli failed");
            return;
        }
        oursSeconds += o;
        theirsSeconds += t;
        st.SetIterationTime(o);
    }
    const double n = double(st.iterations());
    st.counters["sigrok_ms"] = theirsSeconds * 1e3 / n;
    char label[160];
    std::snprintf(label, sizeof label, "this program %.2f ms, sigrok-cli %.1f ms: sigrok-cli takes %.1fx as long",
                  oursSeconds * 1e3 / n, theirsSeconds * 1e3 / n, theirsSeconds / oursSeconds);
    st.SetLabel(label);
}

} // namespace

BENCHMARK_CAPTURE(BM_ExportFullLogic, log, "log")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportFullLogic, vcd, "vcd")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportFullLogic, csv, "csv")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportFullLogic, sr, "sr")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportFullLogic, log, "log")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportFullLogic, vcd, "vcd")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportFullLogic, csv, "csv")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportFullLogic, sr, "sr")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VcdToSigrokSession)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
