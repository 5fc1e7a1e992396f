// The annotation strip under the traces: laying out and painting it afresh
// (as a scroll or zoom does) for a full 20 MHz capture of the simulator
// decoded with the UART, SPI and I2C decoders, at each of the seven
// magnifications, at the view start where the most is in view. Target: at
// most 4 ms at the worst magnification, by the thread's CPU time.
#include <benchmark/benchmark.h>

#include <QImage>
#include <algorithm>

#include "bench_support.h"
#include "decode/decode_engine.h"
#include "display/magnification.h"
#include "panels/annotation_strip.h"
#include "support/simulator_capture.h"

namespace {

constexpr double kTargetMs = 4.0;
constexpr int kFieldLeft = 40;
constexpr int kStripWidth = 780;

std::shared_ptr<const DecodeResult> DecodedSimulatorCapture(QString *error)
{
    static std::shared_ptr<const DecodeResult> result;
    static QString failure;
    if (!result && failure.isEmpty()) {
        const auto catalog = LoadDecoderCatalog();
        DecodeRequest request;
        failure = catalog->error();
        if (failure.isEmpty() && ParseDecodeRequest(SimulatorDecoderStacks(), *catalog, &request, &failure)) {
            result = DecodeNow(SimulatorCapture(), request);
            failure = result->errors().join(QLatin1Char('\n'));
        }
    }
    *error = failure;
    return failure.isEmpty() ? result : nullptr;
}

// How much a view gives the painter to do: boxes with outline and text count
// more than filled bars.
int PaintWork(const AnnotationStrip &strip)
{
    int work = 0;
    for (int r = 0; r < strip.rowCount(); ++r) {
        for (const AnnotationBox &box : strip.boxes(r))
            work += box.block ? 1 : box.text.isEmpty() ? 3 : 5;
    }
    return work;
}

void BM_AnnotationStrip(benchmark::State &st, int vscroll1)
{
    QString error;
    const auto result = DecodedSimulatorCapture(&error);
    if (!result) {
        st.SkipWithError(error.toStdString().c_str());
        return;
    }
    MagnificationStep step;
    LookupMagnification(vscroll1, &step);
    AnnotationStrip strip;
    strip.setResult(result);

    // The worst view start: every half field across the capture.
    const int stride = std::max(1, int(350 / step.magnification));
    int worst = 0, worstWork = -1;
    for (int start = 0; start < Capture::kMaxTime; start += stride) {
        strip.setView(start, step.magnification, kFieldLeft);
        const int work = PaintWork(strip);
        if (work > worstWork) {
            worst = start;
            worstWork = work;
        }
    }
    strip.resize(kStripWidth, strip.sizeHint().height());
    QImage image(strip.size(), QImage::Format_ARGB32_Premultiplied);

    double cpu = 0, wall = 0;
    for (auto _ : st) {
        const bench::Stopwatch watch;
        strip.setView(worst, step.magnification, kFieldLeft); // lays out again at the paint
        strip.render(&image);
        cpu += watch.cpuSeconds();
        const double w = watch.wallSeconds();
        wall += w;
        st.SetIterationTime(w);
    }
    int boxes = 0;
    for (int r = 0; r < strip.rowCount(); ++r)
        boxes += int(strip.boxes(r).size());
    const double n = double(st.iterations());
    st.counters["view_start"] = worst;
    st.counters["rows"] = strip.rowCount();
    st.counters["boxes"] = boxes;
    st.SetLabel(step.label.toStdString() + ": "
                + bench::CpuVerdict(cpu * 1e3 / n, wall * 1e3 / n, kTargetMs, "ms"));
}

} // namespace

#define LA_STRIP(name, vscroll1)                                                                     \
    BENCHMARK_CAPTURE(BM_AnnotationStrip, name, vscroll1)->UseManualTime()->Unit(benchmark::kMillisecond)

LA_STRIP(mag_x10, 0);
LA_STRIP(mag_x5, 1);
LA_STRIP(mag_x2, 2);
LA_STRIP(mag_x1, 3);
LA_STRIP(mag_1_2, 4);
LA_STRIP(mag_1_5, 5);
LA_STRIP(mag_1_10, 6);
