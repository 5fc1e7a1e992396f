// Waiting: the CPU the program uses while it waits 5 s for an instrument that
// does not answer. "Set Read" is pressed on a pseudo-terminal whose other side
// stays silent until a timer answers after 5 s. Target: below 1 % of one core.
#include <benchmark/benchmark.h>

#include <QTimer>
#include <chrono>

#include "bench_support.h"
#include "support/pty_peer.h"

namespace {

void BM_WaitSilentInstrument(benchmark::State &st)
{
    PtyPeer pty;
    if (!pty.ok()) {
        st.SkipWithError("no pseudo-terminal");
        return;
    }
    auto form = bench::MakeFormOnPort(pty.slavePath());
    const int waitMs = 5000;
    double cpu = 0, wall = 0;
    for (auto _ : st) {
        // The settings reply of a Logic-mode instrument, sent after the wait.
        QTimer::singleShot(waitMs, Qt::PreciseTimer, [&pty] { pty.write(QByteArray::fromHex("02213253098003")); });
        const double c0 = bench::ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        form->Command1_Click(3); // Set Read: returns when the reply is complete
        const double w = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += bench::ProcessCpuSeconds() - c0;
        wall += w;
        st.SetIterationTime(w);
    }
    if (!form->state.PendingCommand.isEmpty()) {
        st.SkipWithError("the reply did not end the wait");
        return;
    }
    st.counters["cpu_ms"] = cpu * 1e3 / double(st.iterations());
    const double percent = 100.0 * cpu / wall;
    st.counters["cpu_percent"] = percent;
    st.SetLabel(bench::Verdict(percent, 1.0, "% of one core"));
}

} // namespace

BENCHMARK(BM_WaitSilentInstrument)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
