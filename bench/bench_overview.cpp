// The overview band above the window.
//
// Repaint: a full Logic capture with every channel changing in every period
// (32768 records), from the capture to the painted band, and the repaint
// after a scroll, when only the rectangle and the cursors move. Target: at
// most 2 ms, by the thread's CPU time.
//
// During a read-back: the same stream arrives from an instrument on a
// pseudo-terminal paced at 115200 baud (8.5 s) while the framed window is
// shown and the band follows it. Targets: the longest stall of the UI thread
// while the stream arrives at most 4 ms (judged by the thread's CPU time
// between two turns of the event loop, the wall-clock gap beside it); from a
// record's arrival to the band painted with its mark at most 100 ms. The receive path itself is
// BM_Receive's (at most 10 ns a byte).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "panels/overview_band.h"
#include "support/pty_peer.h"

namespace {

constexpr double kRepaintTargetMs = 2.0;
constexpr double kStallTargetMs = 4.0;
constexpr double kLatencyTargetMs = 100.0;
constexpr int kBurst = 16; // bytes a serial driver hands over at once (1.4 ms of line)

void BM_OverviewRepaint(benchmark::State &st, bool wholeCapture)
{
    auto window = bench::MakeFramedForm(false);
    Form1 &form = window->form();
    bench::ReceiveStream(form, bench::WorstCaseStream(false, bench::kLogicRecords));
    emit form.captureChanged();
    OverviewBand &band = window->overview();
    if (band.columns().recordCount() != bench::kLogicRecords) {
        st.SkipWithError("the overview does not hold the capture");
        return;
    }
    const OverviewLayout layout = band.bandLayout();
    QImage image(band.size(), QImage::Format_RGB32);
    OverviewColumns columns;
    int start = 0;
    double cpu = 0, wall = 0;
    for (auto _ : st) {
        bench::Stopwatch watch;
        if (wholeCapture) {
            // What a new capture costs the band: the records from the window,
            // the columns, the picture, the view over it.
            BuildOverviewColumns(form.capture(), OverviewBand::kFieldWidth, columns);
            PaintOverviewBackground(image, layout);
            PaintOverviewColumns(image, layout, columns, {});
            QPainter painter(&image);
            PaintOverviewView(painter, layout, columns.scale(), OverviewView());
        } else {
            // A scroll: the band repaints its picture with the view moved.
            form.HScroll1->setValue(start = (start + 997) % form.HScroll1->maximum());
            watch.restart(); // the window's own redraw is not the band's
            band.render(&image);
        }
        cpu += watch.cpuSeconds();
        const double w = watch.wallSeconds();
        wall += w;
        st.SetIterationTime(w);
    }
    const double n = double(st.iterations());
    st.counters["records"] = double(bench::kLogicRecords);
    st.SetLabel(bench::CpuVerdict(cpu * 1e3 / n, wall * 1e3 / n, kRepaintTargetMs, "ms"));
}

// ---- a read-back paced at the line speed ----

struct ReadFigures {
    QString error;
    double streamSeconds = 0;
    double longestStallMs = 0;   // between two turns of the event loop while the stream arrives
    double longestStallCpuMs = 0; // the thread's own work in the longest such gap by CPU time
    double stallAtEndMs = 0;     // from the end byte until the press returns
    double stallAtEndCpuMs = 0;
    int wallGapsOverTarget = 0;  // wall-clock gaps over the target while the stream arrives
    double theirLongestCpuMs = 0; // and the most CPU time the thread spent in one of them
    double firstRecordMs = 0;    // from the first record's arrival to the band painted with it
    double worstLatencyMs = 0;   // the same, the worst over every burst
    double meanLatencyMs = 0;
    double bandPaintsPerSecond = 0;
    int bursts = 0;
};

// Records when the band is painted and what it holds then.
class PaintLog : public QObject {
public:
    struct Paint {
        qint64 ns;
        int64_t records;
        bool finished;
    };
    PaintLog(OverviewBand &band, const QElapsedTimer &clock) : band_(band), clock_(clock)
    {
        band.installEventFilter(this);
    }
    std::vector<Paint> paints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &band_ && event->type() == QEvent::Paint)
            paints.push_back({clock_.nsecsElapsed(), band_.columns().recordCount(), band_.columns().isFinished()});
        return false;
    }

private:
    OverviewBand &band_;
    const QElapsedTimer &clock_;
};

ReadFigures MeasureRead()
{
    ReadFigures f;
    PtyPeer peer;
    if (!peer.ok()) {
        f.error = QStringLiteral("no pseudo-terminal");
        return f;
    }
    const QByteArray stream = bench::WorstCaseStream(false, bench::kLogicRecords);
    peer.startResponder([&peer, &stream](const QByteArray &command) -> QByteArray {
        switch (uint8_t(command[0]) & 0x0F) {
        case 0x06:
        case 0x07: {
            // The stream at 115200 baud, in bursts as a serial driver delivers them.
            const auto t0 = std::chrono::steady_clock::now();
            for (qsizetype k = 0; k < stream.size(); k += kBurst) {
                std::this_thread::sleep_until(
                    t0 + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(double(k + kBurst) * bench::kLineByteSeconds)));
                peer.write(stream.mid(k, kBurst));
            }
            return QByteArray();
        }
        default:
            return QByteArray(1, char(0x06));
        }
    });
    auto window = std::make_unique<MainWindow>(bench::MakeFormOnPort(peer.slavePath(), false).release(),
                                               QStringLiteral("bench"));
    window->show();
    bench::DrainEvents();
    Form1 &form = window->form();
    OverviewBand &band = window->overview();
    form.Command1_Click(0); // Setting

    QElapsedTimer clock;
    clock.start();
    // The receive events: when each burst was taken and how many records
    // were complete after it.
    struct Burst {
        qint64 ns;
        int32_t complete;
    };
    std::vector<Burst> bursts;
    qint64 streamStart = -1, endByte = -1;
    QObject::connect(form.MSComm1, &SerialPortService::OnComm, &form, [&] {
        const qint64 now = clock.nsecsElapsed();
        const bool reading = form.state.PendingCommand == wire::STATE_DATAREAD;
        if (reading && form.state.LastSampleIndex >= 0) {
            if (streamStart < 0)
                streamStart = now;
            bursts.push_back({now, form.state.LastSampleIndex});
        } else if (!reading && streamStart >= 0 && endByte < 0) {
            endByte = now;
        }
    });
    PaintLog paints(band, clock);
    // Gaps between turns of the event loop, as a window's timers see them,
    // with the CPU time the thread spent in each: on a machine busy with
    // other work a gap also holds the time the thread waited for a core.
    struct Gap {
        qint64 end, length;
        double cpu;
    };
    std::vector<Gap> gaps;
    qint64 last = 0;
    double lastCpu = 0;
    const auto mark = [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = bench::ThreadCpuSeconds();
        gaps.push_back({now, now - last, cpu - lastCpu});
        last = now;
        lastCpu = cpu;
    };
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, mark);
    last = clock.nsecsElapsed();
    lastCpu = bench::ThreadCpuSeconds();
    tick.start();
    form.Command1_Click(1); // Run, then the read
    mark();
    tick.stop();
    bench::DrainEvents();
    peer.stopResponder();

    if (streamStart < 0 || endByte < 0 || form.state.LastSampleIndex != bench::kLogicRecords - 1
        || !band.columns().isFinished()) {
        f.error = QStringLiteral("the capture did not arrive complete");
        return f;
    }
    f.streamSeconds = double(endByte - streamStart) / 1e9;
    for (const Gap &g : gaps) {
        if (g.end - g.length >= streamStart && g.end <= endByte) {
            f.longestStallMs = std::max(f.longestStallMs, double(g.length) / 1e6);
            f.longestStallCpuMs = std::max(f.longestStallCpuMs, g.cpu * 1e3);
            if (double(g.length) / 1e6 > kStallTargetMs) {
                ++f.wallGapsOverTarget;
                f.theirLongestCpuMs = std::max(f.theirLongestCpuMs, g.cpu * 1e3);
            }
        } else if (g.end > endByte) {
            f.stallAtEndMs = std::max(f.stallAtEndMs, double(g.length) / 1e6);
            f.stallAtEndCpuMs = std::max(f.stallAtEndCpuMs, g.cpu * 1e3);
        }
    }
    // A record's mark is drawn once the next record has begun (it says how
    // long the levels held) or the end byte has come.
    double sum = 0;
    int measured = 0;
    size_t p = 0;
    for (const Burst &b : bursts) {
        if (b.complete == 0)
            continue;
        while (p < paints.paints.size() && paints.paints[p].ns < b.ns)
            ++p;
        size_t q = p;
        while (q < paints.paints.size() && !paints.paints[q].finished && paints.paints[q].records < b.complete + 1)
            ++q;
        if (q == paints.paints.size()) {
            f.error = QStringLiteral("a record was never painted");
            return f;
        }
        const double ms = double(paints.paints[q].ns - b.ns) / 1e6;
        if (measured == 0)
            f.firstRecordMs = ms;
        f.worstLatencyMs = std::max(f.worstLatencyMs, ms);
        sum += ms;
        ++measured;
    }
    f.meanLatencyMs = measured ? sum / measured : 0;
    f.bursts = int(bursts.size());
    int during = 0;
    for (const PaintLog::Paint &paint : paints.paints)
        during += paint.ns >= streamStart && paint.ns <= endByte;
    f.bandPaintsPerSecond = during / f.streamSeconds;
    return f;
}

const ReadFigures &Read()
{
    static const ReadFigures figures = MeasureRead();
    return figures;
}

void Report(benchmark::State &st, const ReadFigures &f)
{
    st.counters["stream_s"] = f.streamSeconds;
    st.counters["bursts"] = f.bursts;
    st.counters["band_paints_per_s"] = f.bandPaintsPerSecond;
}

void BM_OverviewReadStall(benchmark::State &st)
{
    const ReadFigures &f = Read();
    for (auto _ : st)
        st.SetIterationTime(f.longestStallMs / 1e3);
    if (!f.error.isEmpty()) {
        st.SkipWithError(f.error.toStdString().c_str());
        return;
    }
    Report(st, f);
    st.counters["wall_ms"] = f.longestStallMs;
    st.counters["wall_gaps_over_4ms"] = f.wallGapsOverTarget;
    st.counters["their_max_cpu_ms"] = f.theirLongestCpuMs;
    st.counters["at_end_cpu_ms"] = f.stallAtEndCpuMs;
    st.counters["at_end_wall_ms"] = f.stallAtEndMs;
    st.SetLabel(bench::CpuVerdict(f.longestStallCpuMs, f.longestStallMs, kStallTargetMs, "ms"));
}

void BM_OverviewRecordToMark(benchmark::State &st)
{
    const ReadFigures &f = Read();
    for (auto _ : st)
        st.SetIterationTime(f.worstLatencyMs / 1e3);
    if (!f.error.isEmpty()) {
        st.SkipWithError(f.error.toStdString().c_str());
        return;
    }
    Report(st, f);
    st.counters["first_record_ms"] = f.firstRecordMs;
    st.counters["mean_ms"] = f.meanLatencyMs;
    st.SetLabel(bench::Verdict(f.worstLatencyMs, kLatencyTargetMs, "ms"));
}

} // namespace

BENCHMARK_CAPTURE(BM_OverviewRepaint, full_logic_capture, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OverviewRepaint, view_moved, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverviewReadStall)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverviewRecordToMark)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
