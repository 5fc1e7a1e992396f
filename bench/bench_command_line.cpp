// The command line as a script meets it: whole processes, from their start to
// their exit, with their peak resident memory.
//
// Paired with sigrok-cli doing the same job, ours and theirs alternating in
// one run (the median of each): --decode against sigrok-cli -P, --detect
// against sigrok-cli --show (reading the file and describing it), --export
// against sigrok-cli's conversion, and --capture of one sample against
// sigrok-cli capturing one sample from its demo driver (its serial drivers
// refuse pseudo-terminals, so its first byte on a port cannot be timed).
// Target: ours at most as long and as large.
//
// Then: process start to the first byte on the port (target 100 ms); a
// capture against the simulator paced at 115200 baud ends at most 1 % after
// the wire time of its bytes; --count 200 on the unpaced simulator keeps its
// memory flat (peak after the last capture within 5 MiB of the peak after the
// first) and writes every file complete.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench_support.h"
#include "export/capture_file_io.h"
#include "sim/signals.h"
#include "support/pty_peer.h"
#include "support/simulator_capture.h"

extern char **environ;

namespace {

constexpr int kPairs = 7;

struct ProcessRun {
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
};

pid_t Spawn(const QString &program, const QStringList &args)
{
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString &a : args)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

ProcessRun Reap(pid_t pid, std::chrono::steady_clock::time_point start)
{
    ProcessRun r;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakMiB = double(usage.ru_maxrss) / 1024.0;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The peak memory of a spawned program cannot come from wait4: a child
// spawned by this large process carries this process's high-water mark over
// its exec. GNU time forks from a small process and reports the program's own.
const char *const kTime = "/usr/bin/time";

QString TimeReportPath()
{
    return QDir::temp().filePath(QStringLiteral("la-bench-time-%1.txt").arg(getpid()));
}

pid_t SpawnTimed(const QString &program, const QStringList &args)
{
    return Spawn(QLatin1String(kTime),
                 QStringList{QStringLiteral("-f"), QStringLiteral("%M %U %S"), QStringLiteral("-o"), TimeReportPath(),
                             program}
                     + args);
}

// Reaps a SpawnTimed process: wall time from `start`, the program's peak
// memory and CPU time from GNU time's report.
ProcessRun ReapTimed(pid_t pid, std::chrono::steady_clock::time_point start, double *cpuSeconds = nullptr)
{
    ProcessRun r = Reap(pid, start);
    QFile report(TimeReportPath());
    if (!report.open(QIODevice::ReadOnly))
        return ProcessRun{};
    // "Command exited with non-zero status N" comes first when it did.
    const QList<QByteArray> words = report.readAll().trimmed().split('\n').last().split(' ');
    r.peakMiB = words.value(0).toDouble() / 1024.0;
    if (cpuSeconds)
        *cpuSeconds = words.value(1).toDouble() + words.value(2).toDouble();
    return r;
}

// Starts a program and waits for its end: wall time, peak memory, CPU time.
ProcessRun Measure(const QString &program, const QStringList &args, double *cpuSeconds = nullptr)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = SpawnTimed(program, args);
    if (pid < 0)
        return {};
    return ReapTimed(pid, start, cpuSeconds);
}

// The program GNU time started, once it runs.
pid_t TimedChild(pid_t timePid)
{
    for (int i = 0; i < 5000; ++i) {
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(timePid));
        if (children.open(QIODevice::ReadOnly)) {
            const QByteArray first = children.readAll().trimmed().split(' ').value(0);
            if (!first.isEmpty())
                return pid_t(first.toInt());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return -1;
}

// VmHWM of a running process, in MiB.
double PeakMiBOf(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// CPU time a running process has had so far, in milliseconds.
double CpuMsOf(pid_t pid)
{
    QFile schedstat(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!schedstat.open(QIODevice::ReadOnly))
        return 0;
    return schedstat.readAll().split(' ').value(0).toDouble() / 1e6;
}

QString App() { return QStringLiteral(LA_APP_BINARY); }

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The simulator's 20 MHz capture as files for the file commands.
struct Files {
    QTemporaryDir dir;
    QString sr, vcd;
    Files()
    {
        sr = dir.filePath(QStringLiteral("x.sr"));
        vcd = dir.filePath(QStringLiteral("x.vcd"));
        QString error;
        ExportCaptureFile(SimulatorCapture(), sr, &error);
        ExportCaptureFile(SimulatorCapture(), vcd, &error);
    }
};

// Ours and sigrok-cli's command, alternating, kPairs times each.
void Paired(benchmark::State &st, const QStringList &ours, const QStringList &theirs)
{
    const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
    if (sigrok.isEmpty() || !QFileInfo(QLatin1String(kTime)).isExecutable()) {
        st.SkipWithError("sigrok-cli or GNU time is not installed");
        return;
    }
    std::vector<double> ourSeconds, theirSeconds, ourMiB, theirMiB, ourCpu, theirCpu;
    for (auto _ : st) {
        for (int i = 0; i < kPairs; ++i) {
            double cpuA = 0, cpuB = 0;
            const ProcessRun a = Measure(App(), ours, &cpuA);
            const ProcessRun b = Measure(sigrok, theirs, &cpuB);
            if (a.status != 0 || b.status != 0) {
                st.SkipWithError(a.status != 0 ? "this program failed" : "sigrok-cli failed");
                return;
            }
            ourSeconds.push_back(a.seconds), ourMiB.push_back(a.peakMiB), ourCpu.push_back(cpuA);
            theirSeconds.push_back(b.seconds), theirMiB.push_back(b.peakMiB), theirCpu.push_back(cpuB);
        }
        st.SetIterationTime(Median(ourSeconds));
    }
    const double t = Median(ourSeconds) * 1e3, T = Median(theirSeconds) * 1e3;
    const double m = Median(ourMiB), M = Median(theirMiB);
    st.counters["ours_ms"] = t;
    st.counters["sigrok_ms"] = T;
    st.counters["ours_cpu_ms"] = Median(ourCpu) * 1e3;
    st.counters["sigrok_cpu_ms"] = Median(theirCpu) * 1e3;
    st.counters["ours_MiB"] = m;
    st.counters["sigrok_MiB"] = M;
    char label[200];
    std::snprintf(label, sizeof label, "%.0f ms, %.1f MiB; sigrok-cli %.0f ms, %.1f MiB (target: at most): time %s, memory %s",
                  t, m, T, M, t <= T ? "met" : "MISSED", m <= M ? "met" : "MISSED");
    st.SetLabel(label);
}

void BM_ProcessDecode(benchmark::State &st)
{
    const Files f;
    const QString uart = QStringLiteral("uart:rx=CH1:baudrate=115200");
    Paired(st, {QStringLiteral("--decode"), uart, f.sr},
           {QStringLiteral("-i"), f.sr, QStringLiteral("-P"), uart, QStringLiteral("-A"), QStringLiteral("uart")});
}

void BM_ProcessDetect(benchmark::State &st)
{
    const Files f;
    Paired(st, {QStringLiteral("--detect"), f.sr}, {QStringLiteral("-i"), f.sr, QStringLiteral("--show")});
}

void BM_ProcessExport(benchmark::State &st)
{
    const Files f;
    const QString ours = f.dir.filePath(QStringLiteral("ours.sr")), theirs = f.dir.filePath(QStringLiteral("theirs.sr"));
    Paired(st, {QStringLiteral("--export"), f.vcd, ours},
           {QStringLiteral("-i"), f.vcd, QStringLiteral("-I"), QStringLiteral("vcd:downsample=5"), QStringLiteral("-o"),
            theirs});
}

void BM_ProcessCaptureOneSample(benchmark::State &st)
{
    const Files f;
    const QString ours = f.dir.filePath(QStringLiteral("ours-c.sr")), theirs = f.dir.filePath(QStringLiteral("theirs-c.sr"));
    Paired(st,
           {QStringLiteral("--capture"), ours, QStringLiteral("--simulate"), QStringLiteral("--sim-no-pacing"),
            QStringLiteral("--sim-time-scale"), QStringLiteral("0"), QStringLiteral("--samples"), QStringLiteral("1")},
           {QStringLiteral("-d"), QStringLiteral("demo"), QStringLiteral("--samples"), QStringLiteral("1"),
            QStringLiteral("-o"), theirs});
}

// Process start to the first byte of Setting on a pseudo-terminal.
void BM_ProcessCaptureFirstByte(benchmark::State &st)
{
    QTemporaryDir dir;
    std::vector<double> ms, mib, cpu;
    for (auto _ : st) {
        PtyPeer peer;
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = Spawn(App(), {QStringLiteral("--capture"), dir.filePath(QStringLiteral("x.sr")),
                                        QStringLiteral("--port"), peer.slavePath()});
        const QByteArray first = peer.read(1, 5000);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        mib.push_back(PeakMiBOf(pid));
        cpu.push_back(CpuMsOf(pid));
        // Ctrl+C: the program ends as a user would end it, and takes its
        // port's lock file with it (a killed one leaves it for the next run to
        // clear, which costs that run 0.1 s).
        kill(pid, SIGINT);
        Reap(pid, start);
        if (first.isEmpty()) {
            st.SkipWithError("no byte arrived");
            return;
        }
        st.SetIterationTime(s);
        ms.push_back(s * 1e3);
    }
    st.counters["peak_MiB_at_first_byte"] = Median(mib);
    st.counters["cpu_ms_to_first_byte"] = Median(cpu);
    st.SetLabel(bench::Verdict(Median(ms), 100, "ms from process start (median)"));
}

// Rate whose simulated Logic stream is the longest, as the command sets the
// instrument up (rise on CH1).
int LongestLogicRate(qsizetype *streamBytes)
{
    sim::SimSettings s;
    s.conditionChannel = 0x32, s.pattern = 0x53, s.mode = 0x09;
    int best = 0;
    *streamBytes = -1;
    for (int rate = 0; rate < sim::RATE_COUNT; ++rate) {
        s.rateKind = uint8_t(0x01 + 16 * rate);
        const qsizetype n = sim::sampleStream(s, 0x7FFF).size();
        if (n > *streamBytes)
            *streamBytes = n, best = rate;
    }
    return best;
}

void BM_ProcessCapturePaced(benchmark::State &st)
{
    qsizetype streamBytes = 0;
    const int rate = LongestLogicRate(&streamBytes);
    // Setting (7 bytes out, 6 ACKs), Run and its ACK, Read data, the stream.
    const qsizetype wireBytes = 7 + 6 + 1 + 1 + 1 + streamBytes;
    const double wireSeconds = double(wireBytes) * bench::kLineByteSeconds;
    QTemporaryDir dir;
    double seconds = 0;
    for (auto _ : st) {
        const ProcessRun r = Measure(App(), {QStringLiteral("--capture"), dir.filePath(QStringLiteral("paced.sr")),
                                             QStringLiteral("--simulate"), QStringLiteral("--sim-time-scale"),
                                             QStringLiteral("0"), QStringLiteral("--rate"),
                                             Capture::rateTextFor(Capture::Mode::Logic, rate)});
        if (r.status != 0) {
            st.SkipWithError("the capture failed");
            return;
        }
        st.SetIterationTime(r.seconds);
        seconds += r.seconds;
    }
    const double mean = seconds / double(st.iterations());
    st.counters["wire_bytes"] = double(wireBytes);
    st.counters["wire_ms"] = wireSeconds * 1e3;
    st.counters["process_ms"] = mean * 1e3;
    st.SetLabel(bench::Verdict(100.0 * (mean - wireSeconds) / wireSeconds, 1.0, "% after the wire time"));
}

void BM_ProcessCaptureSoak(benchmark::State &st)
{
    constexpr int kCount = 200;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("soak.sr"));
    double first = 0, last = 0;
    bool complete = true;
    for (auto _ : st) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = SpawnTimed(App(), {QStringLiteral("--capture"), out, QStringLiteral("--simulate"),
                                             QStringLiteral("--sim-no-pacing"), QStringLiteral("--sim-time-scale"),
                                             QStringLiteral("0"), QStringLiteral("--count"), QString::number(kCount)});
        const pid_t program = TimedChild(pid);
        // The peak once the first capture is written (the second has begun).
        const QString second = dir.filePath(QStringLiteral("soak-002.sr"));
        while (!QFile::exists(second) && waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        first = PeakMiBOf(program);
        const ProcessRun r = ReapTimed(pid, start);
        last = r.peakMiB;
        st.SetIterationTime(r.seconds);
        if (r.status != 0) {
            st.SkipWithError("the captures failed");
            return;
        }
    }
    const ImportResult reference = ImportCaptureFile(dir.filePath(QStringLiteral("soak-001.sr")));
    for (int i = 1; i <= kCount && reference.ok; ++i) {
        const ImportResult file = ImportCaptureFile(dir.filePath(QStringLiteral("soak-%1.sr").arg(i, 3, 10, QLatin1Char('0'))));
        complete = complete && file.ok && file.capture.sampleCount() == 32767
            && file.capture.records().size() == reference.capture.records().size();
    }
    st.counters["peak_after_first_MiB"] = first;
    st.counters["peak_at_end_MiB"] = last;
    st.counters["files_complete"] = complete && reference.ok ? kCount : 0;
    char label[160];
    std::snprintf(label, sizeof label, "%s; %d files %s", bench::Verdict(last - first, 5, "MiB of growth").c_str(),
                  kCount, complete && reference.ok ? "complete" : "NOT complete: MISSED");
    st.SetLabel(label);
}

} // namespace

BENCHMARK(BM_ProcessDecode)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessDetect)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessExport)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCaptureOneSample)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCaptureFirstByte)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCapturePaced)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessCaptureSoak)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
