// Redraw: HScroll1_Change on a full capture with a level change in every
// sample period, then the painting of the drawing area into an image. The
// geometry (the handler, which hands the lines to the picture) and the
// painting are timed separately; the iteration time is their sum.
// Targets for the full Logic capture (32768 records): at most 4 ms in the
// worst case ("Mag 1/10": 7000 sample periods in view), at most 1 ms at
// "Mag x10" at the end of the capture. A full Analog capture at "Mag 1/10" is
// measured too, without a target; a 60 Hz display leaves 16.7 ms per frame.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QScrollBar>

#include "app/picture_box.h"
#include "bench_support.h"

namespace {

// VScroll1 positions of the magnifications measured here.
constexpr int kMagX10 = 0;
constexpr int kMagX1 = 3;
constexpr int kMagTenth = 6;

void BM_Redraw(benchmark::State &st, bool analog, int vscroll1, bool atEnd, double targetMs)
{
    auto window = bench::MakeFramedForm(analog); // the frame listens to every redraw
    Form1 *form = &window->form();
    const int32_t records = analog ? bench::kAnalogRecords : bench::kLogicRecords;
    bench::ReceiveStream(*form, bench::WorstCaseStream(analog, records));
    form->VScroll1->setValue(vscroll1); // magnification and scroll range, as the user sets them
    form->HScroll1->setValue(atEnd ? form->HScroll1->maximum() : 0);
    bench::DrainEvents();

    QImage image(form->Picture1->size(), QImage::Format_ARGB32_Premultiplied);
    double geometry = 0, paint = 0, wall = 0;
    for (auto _ : st) {
        bench::Stopwatch watch;
        form->HScroll1_Change();
        const double g = watch.cpuSeconds();
        const double gWall = watch.wallSeconds();
        watch.restart();
        form->Picture1->render(&image);
        geometry += g;
        paint += watch.cpuSeconds();
        const double w = gWall + watch.wallSeconds();
        wall += w;
        st.SetIterationTime(w);
    }
    const double n = double(st.iterations());
    st.counters["cpu_geometry_ms"] = geometry * 1e3 / n;
    st.counters["cpu_paint_ms"] = paint * 1e3 / n;
    st.counters["lines"] = double(form->Picture1->drawnLineCount());
    st.counters["view_start"] = form->HScroll1->value();
    const double cpuMs = (geometry + paint) * 1e3 / n, wallMs = wall * 1e3 / n;
    st.SetLabel(targetMs > 0 ? bench::CpuVerdict(cpuMs, wallMs, targetMs, "ms")
                             : "cpu " + bench::Figure(cpuMs, "ms") + ", wall " + bench::Figure(wallMs, "ms")
                                   + " (no target; a 60 Hz frame is 16.7 ms)");
}

} // namespace

#define LA_REDRAW(name, analog, mag, atEnd, target)                                                  \
    BENCHMARK_CAPTURE(BM_Redraw, name, analog, mag, atEnd, target)                                   \
        ->UseManualTime()                                                                            \
        ->Unit(benchmark::kMillisecond)

LA_REDRAW(logic_mag_1_10_start, false, kMagTenth, false, 4.0);
LA_REDRAW(logic_mag_1_10_end, false, kMagTenth, true, 4.0);
LA_REDRAW(logic_mag_x1_start, false, kMagX1, false, 4.0);
LA_REDRAW(logic_mag_x1_end, false, kMagX1, true, 4.0);
LA_REDRAW(logic_mag_x10_start, false, kMagX10, false, 4.0);
LA_REDRAW(logic_mag_x10_end, false, kMagX10, true, 1.0);
LA_REDRAW(analog_mag_1_10_start, true, kMagTenth, false, 0.0);
LA_REDRAW(analog_mag_1_10_end, true, kMagTenth, true, 0.0);
