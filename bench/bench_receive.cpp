// Receive path: a full sample stream through the receive handler's byte
// processing, in one chunk and in 64-byte chunks (a serial driver hands over
// small pieces). Target: at most 10 ns a byte; one byte takes 86.8 us on the line.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <vector>

#include "bench_support.h"

namespace {

void BM_Receive(benchmark::State &st, bool analog, int chunkSize, bool literalGrowth)
{
    auto form = bench::MakeForm(analog, false);
    const int32_t records = analog ? bench::kAnalogRecords : bench::kLogicRecords;
    const QByteArray stream = bench::WorstCaseStream(analog, records);
    std::vector<QByteArray> chunks;
    if (chunkSize <= 0)
        chunks.push_back(stream);
    else
        for (qsizetype k = 0; k < stream.size(); k += chunkSize)
            chunks.push_back(stream.mid(k, chunkSize));

    SampleStore::setLiteralGrowthForBenchmarks(literalGrowth);
    double wall = 0, cpu = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        form->state.PendingCommand = QStringLiteral("dataread");
        form->state.ReplyPos = 0;
        form->state.LastSampleIndex = -1;
        for (const QByteArray &c : chunks)
            form->ReceiveChunkForTest(c);
        const double w = watch.wallSeconds();
        cpu += watch.cpuSeconds();
        wall += w;
        st.SetIterationTime(w);
    }
    SampleStore::setLiteralGrowthForBenchmarks(false);

    if (!form->state.PendingCommand.isEmpty() || form->state.LastSampleIndex != records - 1) {
        st.SkipWithError("the stream did not end where it should");
        return;
    }
    const double bytes = double(stream.size()) * double(st.iterations());
    st.SetBytesProcessed(int64_t(bytes));
    st.counters["bytes"] = double(stream.size());
    const double cpuNs = cpu * 1e9 / bytes, wallNs = wall * 1e9 / bytes;
    st.counters["cpu_ns_per_byte"] = cpuNs;
    st.SetLabel(literalGrowth ? "cpu " + bench::Figure(cpuNs, "ns/B") + " (store grown 10 records at a time)"
                              : bench::CpuVerdict(cpuNs, wallNs, 10.0, "ns/B"));
}

} // namespace

BENCHMARK_CAPTURE(BM_Receive, logic_one_chunk, false, 0, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, logic_64B_chunks, false, 64, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, analog_one_chunk, true, 0, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, analog_64B_chunks, true, 64, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, logic_one_chunk_literal_growth, false, 0, true)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, logic_64B_chunks_literal_growth, false, 64, true)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Receive, analog_one_chunk_literal_growth, true, 0, true)
    ->UseManualTime()->Unit(benchmark::kMillisecond);
