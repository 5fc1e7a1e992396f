// Capture files: Save and Load of a full Logic capture (32768 records) and a
// full Analog capture (16384 records), through the file module alone and
// through the whole Load and Save buttons (dialog answered at once).
// Target: at most 20 ms each.
#include <benchmark/benchmark.h>


#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "bench_support.h"
#include "files/capture_file.h"

namespace {

constexpr double kTargetMs = 20.0;

// Store with records 0..records-1 and a level change in every sample period.
SampleStore FullStore(bool analog, int32_t records)
{
    SampleStore s;
    s.create(analog ? 3 : 2, records - 1);
    for (int32_t i = 0; i < records; ++i) {
        s.set(0, i, i);
        s.set(1, i, (i & 1) ? 0xAA : 0x55);
        if (analog)
            s.set(2, i, (i * 37) & 0xFF);
    }
    return s;
}

CaptureSettings Settings(bool analog)
{
    CaptureSettings c;
    c.rateAndTriggerKind = 3;
    c.channelAndCondition = 6;
    c.patternBits = 5;
    c.analogFlag = analog ? 1 : 0;
    c.scaleIndex = 1;
    c.triggerLevel = 127;
    return c;
}

void report(benchmark::State &st, qint64 fileBytes)
{
    st.counters["file_bytes"] = double(fileBytes);
}

// Judged by the wall-clock time: writing and reading the disk is part of the cost.
void labelMs(benchmark::State &st, double wall, double cpu)
{
    const double n = double(st.iterations());
    st.counters["cpu_ms"] = cpu * 1e3 / n;
    st.SetLabel(bench::Verdict(wall * 1e3 / n, kTargetMs, "ms"));
}

void BM_WriteCaptureFile(benchmark::State &st, bool analog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    const int32_t records = analog ? bench::kAnalogRecords : bench::kLogicRecords;
    const SampleStore store = FullStore(analog, records);
    const CaptureSettings settings = Settings(analog);
    double seconds = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || !WriteCaptureFile(f, settings, records - 1, store, analog)) {
            st.SkipWithError("the file could not be written");
            return;
        }
        f.close();
        const double s = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        st.SetIterationTime(s);
        seconds += s;
    }
    report(st, QFileInfo(path).size());
    labelMs(st, seconds, cpu);
}

void BM_ReadCaptureFile(benchmark::State &st, bool analog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    const int32_t records = analog ? bench::kAnalogRecords : bench::kLogicRecords;
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        WriteCaptureFile(f, Settings(analog), records - 1, FullStore(analog, records), analog);
    }
    double seconds = 0, cpu = 0;
    int64_t checksum = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            st.SkipWithError("the file could not be opened");
            return;
        }
        // The reading order of Load: six settings, the record index, the records.
        CaptureFileReader r(f);
        uint8_t holder = 0;
        for (int k = 0; k < 6; ++k)
            if (auto v = r.ReadByteField())
                holder = *v;
        const int32_t last = r.ReadLongField().value_or(-1);
        SampleStore store;
        store.create(analog ? 3 : 2, last);
        for (int32_t n = 0; n <= last; ++n) {
            for (int field = 0; field < (analog ? 3 : 2); ++field)
                if (auto v = r.ReadLongField())
                    store.set(field, n, *v);
        }
        f.close();
        const double s = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        st.SetIterationTime(s);
        seconds += s;
        checksum += holder + store.at(0, last);
    }
    benchmark::DoNotOptimize(checksum);
    report(st, QFileInfo(path).size());
    labelMs(st, seconds, cpu);
}

// The buttons: Command2_Click(1) saves the window's capture, Command2_Click(0)
// loads it back (settings with their reactions, the store, the redraw).
void BM_Command(benchmark::State &st, bool analog, int index)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    auto form = bench::MakeForm(analog);
    const int32_t records = analog ? bench::kAnalogRecords : bench::kLogicRecords;
    bench::ReceiveStream(*form, bench::WorstCaseStream(analog, records));
    form->showFileDialog = [path](CommonDialog &d, bool) {
        d.FileName = path;
        return DialogResult::Confirmed;
    };
    form->Command2_Click(1); // the file the Load iterations read
    bench::DrainEvents();

    double seconds = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        form->Command2_Click(index);
        const double s = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        st.SetIterationTime(s);
        seconds += s;
        bench::DrainEvents(); // repaints the window between commands, outside the measurement
    }
    if (form->state.LastSampleIndex != records - 1) {
        st.SkipWithError("the capture did not come back");
        return;
    }
    report(st, QFileInfo(path).size());
    labelMs(st, seconds, cpu);
}

} // namespace

BENCHMARK_CAPTURE(BM_WriteCaptureFile, logic, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteCaptureFile, analog, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadCaptureFile, logic, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadCaptureFile, analog, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Command, save_logic, false, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Command, save_analog, true, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Command, load_logic, false, 0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Command, load_analog, true, 0)->UseManualTime()->Unit(benchmark::kMillisecond);
