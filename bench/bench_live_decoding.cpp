// Decoding that follows the read-back: the simulator's 20 MHz scene (32767
// sample periods) arrives from the instrument's end of a pseudo-terminal at
// 115200 baud, in 16-byte bursts as a serial driver hands them over, to the
// framed window with uart + spi + i2c added. The decoders are fed the
// samples that have become final while the capture arrives; measured is the
// time from the end byte's arrival to the complete result shown in the
// decoders' panel. Target: at most 20 ms, by the wall clock.
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <thread>

#include "bench_support.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "panels/decoders_dock.h"
#include "support/pty_peer.h"
#include "support/simulator_capture.h"

namespace {

constexpr double kTargetMs = 20.0;
constexpr int kBurst = 16;

// The capture as the instrument sends it: start byte, three bytes a record
// (time stamp high and low, levels), end byte.
QByteArray StreamOf(const Capture &capture)
{
    QByteArray s(1, char(0x02));
    for (const CaptureRecord &r : capture.records()) {
        s.append(char(uint8_t(r.time >> 8)));
        s.append(char(uint8_t(r.time & 0xFF)));
        s.append(char(r.levels));
    }
    s.append(char(0x80));
    return s;
}

void BM_LiveDecodeEndByteToResult(benchmark::State &st)
{
    PtyPeer peer;
    if (!peer.ok()) {
        st.SkipWithError("no pseudo-terminal");
        return;
    }
    const QByteArray stream = StreamOf(SimulatorCapture(Capture::Mode::Logic, 0, Capture::kMaxTime));
    peer.startResponder([&peer, &stream](const QByteArray &command) -> QByteArray {
        switch (uint8_t(command[0]) & 0x0F) {
        case 0x06:
        case 0x07: {
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
    Form1 &form = window->form();
    DecodersDock &decoders = window->decoders();
    decoders.addDecoders(SimulatorDecoderStacks(), QStringLiteral("Decoders"));
    QElapsedTimer wait;
    wait.start();
    while (decoders.decoders().size() != SimulatorDecoderStacks().size() && wait.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    form.Combo1->setCurrentIndex(0);
    form.Slider1->setValue(form.Slider1->maximum());
    form.Command1_Click(0); // Setting
    bench::DrainEvents();

    QElapsedTimer clock;
    clock.start();
    qint64 endByte = -1, shown = -1, changed = -1, delivered = -1;
    bool reading = false;
    int partials = 0;
    QObject::connect(form.MSComm1, &SerialPortService::OnComm, &form, [&] {
        const bool now = form.state.PendingCommand == wire::STATE_DATAREAD;
        if (reading && !now && endByte < 0)
            endByte = clock.nsecsElapsed();
        reading = now;
    });
    // The window's own work after the end byte (its redraw), before the
    // decoders hear of the capture.
    QObject::connect(&form, &Form1::captureChanged, [&] {
        if (endByte >= 0 && changed < 0)
            changed = clock.nsecsElapsed();
    });
    // The result leaving the decoders' worker, before the panel shows it.
    QObject::connect(&decoders.engine(), &DecodeEngine::finished, [&] {
        if (endByte >= 0 && delivered < 0)
            delivered = clock.nsecsElapsed();
    });
    QObject::connect(&decoders, &DecodersDock::resultShown, [&] {
        if (shown < 0)
            shown = clock.nsecsElapsed();
    });
    QObject::connect(&decoders, &DecodersDock::partialResult, [&] {
        if (form.state.PendingCommand == wire::STATE_DATAREAD)
            ++partials;
    });
    double worst = 0, sum = 0, windowWorst = 0, workerWorst = 0;
    int annotations = 0;
    for (auto _ : st) {
        endByte = shown = changed = delivered = -1;
        reading = false;
        partials = 0;
        form.Command1_Click(1); // Run, then the read
        wait.restart();
        while (shown < 0 && wait.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (endByte < 0 || shown < endByte || !decoders.result()) {
            st.SkipWithError("no result after the capture");
            break;
        }
        const double ms = double(shown - endByte) / 1e6;
        worst = std::max(worst, ms);
        windowWorst = std::max(windowWorst, double(changed - endByte) / 1e6);
        workerWorst = std::max(workerWorst, double(delivered - changed) / 1e6);
        sum += ms;
        annotations = 0;
        for (const DecodeInstanceResult &i : decoders.result()->instances)
            annotations += int(i.annotationCount());
        st.SetIterationTime(ms / 1e3);
    }
    peer.stopResponder();
    st.counters["worst_ms"] = worst;
    st.counters["mean_ms"] = st.iterations() ? sum / double(st.iterations()) : 0;
    st.counters["partials_during_read"] = partials;
    st.counters["window_worst_ms"] = windowWorst;
    st.counters["worker_worst_ms"] = workerWorst;
    st.counters["annotations"] = annotations;
    st.SetLabel(bench::Verdict(worst, kTargetMs, "ms"));
}

} // namespace

BENCHMARK(BM_LiveDecodeEndByteToResult)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
