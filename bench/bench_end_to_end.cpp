// End to end: a capture through the simulated instrument on a pseudo-terminal
// paced at the line speed (115200 baud: 86.8 us a byte), from the press of
// Run to the waveform painted. The figure compared with the target is what
// the program adds to the time the bytes need on the wire. Target: at most 2 %.
//
// The simulator sends one Logic record per level change, so no rate gives a
// full 32768-record Logic stream; the Logic case runs at the rate whose
// stream is longest. The Analog case carries one record per sample period:
// the longest Analog measurement, 16383 records.
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <chrono>

#include "app/picture_box.h"
#include "bench_support.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "sim/pty_transport.h"
#include "sim/signals.h"

namespace {

// Rate index whose stream has the most bytes for these settings.
int LongestStreamRate(sim::SimSettings s, int32_t length, qsizetype *bytes)
{
    int best = 0;
    *bytes = -1;
    for (int rate = 0; rate < sim::RATE_COUNT; ++rate) {
        s.rateKind = uint8_t((s.rateKind & 0x8F) | (rate << 4));
        const qsizetype n = sim::sampleStream(s, length).size();
        if (n > *bytes) {
            *bytes = n;
            best = rate;
        }
    }
    return best;
}

void BM_EndToEnd(benchmark::State &st, bool analog)
{
    sim::SimulatorPty simulator;
    simulator.setPacing(true);
    simulator.setTimeScale(0.0); // the capture itself ends at once: only the transfer counts
    QString error;
    if (!simulator.start(&error)) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    auto form = bench::MakeFormOnPort(simulator.slavePath());
    if (analog)
        form->selectOption(form->Option4[1]);
    form->Command1_Click(0); // Setting: the instrument takes the window's settings
    const int32_t length = form->Slider1->value();
    qsizetype streamBytes = 0;
    if (!analog) {
        const int rate = LongestStreamRate(simulator.settings(), length, &streamBytes);
        form->setListIndex(form->Combo1, rate);
        form->Command1_Click(0);
    }
    const sim::SimSettings settings = simulator.settings();
    streamBytes = sim::sampleStream(settings, length).size();
    // Everything that crosses the line between the press and the last byte,
    // one after the other: Run, its ACK, Read data, the stream.
    const qsizetype wireBytes =
        wire::runCommand(analog, length).size() + 1 + wire::readDataCommand(length).size() + streamBytes;
    const double wireSeconds = double(wireBytes) * bench::kLineByteSeconds;

    // When the receive handler has taken the last chunk of the stream: this
    // runs right after it for every receive event.
    std::chrono::steady_clock::time_point lastChunk;
    QObject::connect(form->MSComm1, &SerialPortService::OnComm, form.get(),
                     [&lastChunk] { lastChunk = std::chrono::steady_clock::now(); });

    double seconds = 0, tail = 0;
    for (auto _ : st) {
        const auto t0 = std::chrono::steady_clock::now();
        form->Command1_Click(1); // Run, then the read-out and the redraw
        form->Picture1->repaint();
        const auto t1 = std::chrono::steady_clock::now();
        const double s = std::chrono::duration<double>(t1 - t0).count();
        st.SetIterationTime(s);
        seconds += s;
        tail += std::chrono::duration<double>(t1 - lastChunk).count();
    }
    simulator.stop();

    const int32_t expectedRecords = int32_t((streamBytes - 2) / (analog ? 4 : 3));
    if (form->state.LastSampleIndex != expectedRecords - 1) {
        st.SkipWithError("the capture did not arrive complete");
        return;
    }
    const double mean = seconds / double(st.iterations());
    st.counters["rate_index"] = settings.rateIndex();
    st.counters["records"] = expectedRecords;
    st.counters["wire_bytes"] = double(wireBytes);
    st.counters["wire_ms"] = wireSeconds * 1e3;
    st.counters["overhead_ms"] = (mean - wireSeconds) * 1e3;
    // The simulator writes the line in 64-byte bursts, each when its first
    // byte is due, so the last chunk arrives up to one burst (5.6 ms) before
    // its last byte would have left a real line. What the program adds is
    // therefore taken as the larger of the excess over the wire time and the
    // time from the last chunk to the painted waveform.
    const double afterLast = tail / double(st.iterations());
    st.counters["after_last_chunk_ms"] = afterLast * 1e3;
    const double overhead = 100.0 * std::max(mean - wireSeconds, afterLast) / wireSeconds;
    st.SetLabel(bench::Verdict(overhead, 2.0, "% over the wire time"));
}

} // namespace

BENCHMARK_CAPTURE(BM_EndToEnd, logic_longest_sim_stream, false)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EndToEnd, analog_full_stream, true)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
