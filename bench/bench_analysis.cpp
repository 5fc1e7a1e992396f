// Signal analysis on full captures (32767 sample periods): protocol
// detection over all eight channels, target at most 20 ms; measurements over
// the whole capture, target at most 5 ms. Both are processor work, judged by
// the thread's CPU time with the wall-clock time beside it.
//
// Captures: the simulator's scene at 20 MHz (UART, SPI, I2C, PWM, square
// wave); the worst case for the edge count (every channel changing in every
// period); and eight busy UART-like lines of random bits four samples long,
// where every detector runs to the end on about 4,000 edges a channel. The Analog
// measurement reads a full Analog capture (16384 records).
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/measurements.h"
#include "analysis/protocol_detection.h"
#include "bench_support.h"
#include "support/simulator_capture.h"

namespace {

constexpr double kDetectTargetMs = 20.0;
constexpr double kMeasureTargetMs = 5.0;
constexpr int32_t kPeriods = 32767;


Capture EveryPeriodCapture(bool analog)
{
    const int32_t n = analog ? 16384 : kPeriods;
    std::vector<CaptureRecord> records(size_t(n), CaptureRecord{});
    for (int32_t i = 0; i < n; ++i)
        records[size_t(i)] = {i, uint8_t((i & 1) ? 0xAA : 0x55), uint8_t((i * 37) & 0xFF)};
    return Capture(analog ? Capture::Mode::Analog : Capture::Mode::Logic, 0, n, std::move(records));
}

// Every channel: random bits of four samples each.
Capture BusyCapture()
{
    std::mt19937 random(7);
    std::vector<CaptureRecord> records;
    uint8_t levels = 0;
    for (int32_t i = 0; i < kPeriods; i += 4) {
        levels = uint8_t(random());
        records.push_back({i, levels, 0});
    }
    return Capture(Capture::Mode::Logic, 0, kPeriods, records);
}

template <typename Work>
void Run(benchmark::State &st, double targetMs, Work work)
{
    double wall = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        work();
        const double s = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        wall += s;
        st.SetIterationTime(s);
    }
    const double n = double(st.iterations());
    st.counters["cpu_ms"] = cpu * 1e3 / n;
    st.SetLabel(bench::CpuVerdict(cpu * 1e3 / n, wall * 1e3 / n, targetMs, "ms"));
}

void BM_DetectProtocols(benchmark::State &st, int which)
{
    const Capture capture = which == 0 ? SimulatorCapture() : which == 1 ? EveryPeriodCapture(false) : BusyCapture();
    size_t findings = 0;
    Run(st, kDetectTargetMs, [&] {
        const DetectionReport r = DetectProtocols(capture);
        findings = r.findings.size();
        benchmark::DoNotOptimize(findings);
    });
    st.counters["records"] = double(capture.records().size());
}

void BM_MeasureChannels(benchmark::State &st, bool analog)
{
    const Capture capture = EveryPeriodCapture(analog);
    Run(st, kMeasureTargetMs, [&] {
        const Measurements m = MeasureChannels(capture, 0, capture.sampleCount());
        benchmark::DoNotOptimize(m.channels[0].frequencyHz);
    });
    st.counters["records"] = double(capture.records().size());
}

} // namespace

BENCHMARK_CAPTURE(BM_DetectProtocols, simulator, 0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DetectProtocols, every_period, 1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DetectProtocols, busy_lines, 2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeasureChannels, logic, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeasureChannels, analog, true)->UseManualTime()->Unit(benchmark::kMillisecond);
