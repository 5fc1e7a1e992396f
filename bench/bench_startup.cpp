// Start-up and memory. The benchmark starts this program again as a probe
// (a fresh process each time) and measures from the start of the process to
// the window shown; the probe also reports the time from its main() and the
// peak resident memory once a full Analog capture (16384 records) has been
// received and drawn. Target: shown within 0.5 s.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

#include "bench_support.h"

namespace bench {

int RunStartupProbe(int argc, char **argv, std::chrono::steady_clock::time_point mainStart)
{
    QApplication app(argc, argv);
    auto window = MakeFramedForm(false, true); // window built, started, framed, shown and painted
    Form1 *form = &window->form();
    const double shownMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - mainStart).count();
    std::printf("shown %.3f\n", shownMs);
    std::fflush(stdout);
    const long rssShown = PeakResidentKiB();

    form->selectOption(form->Option4[1]);
    ReceiveStream(*form, WorstCaseStream(true, kAnalogRecords));
    form->HScroll1_Change();
    DrainEvents();
    std::printf("rss %ld %ld\n", rssShown, PeakResidentKiB());
    std::fflush(stdout);
    return 0;
}

} // namespace bench

namespace {

void BM_StartUp(benchmark::State &st)
{
    double fromSpawn = 0, fromMain = 0, rssShown = 0, rssPeak = 0;
    for (auto _ : st) {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        probe.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(bench::kStartupProbeArg)});
        QByteArray out;
        double spawnToShown = -1;
        while (probe.waitForReadyRead(10000)) {
            out += probe.readAll();
            if (spawnToShown < 0 && out.contains('\n'))
                spawnToShown = double(t.nsecsElapsed()) * 1e-6;
            if (out.count('\n') >= 2)
                break;
        }
        probe.waitForFinished(10000);
        double shown = 0;
        long kibShown = 0, kibPeak = 0;
        if (spawnToShown < 0
            || std::sscanf(out.constData(), "shown %lf\nrss %ld %ld", &shown, &kibShown, &kibPeak) != 3) {
            st.SkipWithError("the probe did not report");
            return;
        }
        st.SetIterationTime(spawnToShown * 1e-3);
        fromSpawn += spawnToShown;
        fromMain += shown;
        rssShown += double(kibShown);
        rssPeak += double(kibPeak);
    }
    const double n = double(st.iterations());
    st.counters["from_main_ms"] = fromMain / n;
    st.counters["rss_shown_MiB"] = rssShown / n / 1024.0;
    st.counters["rss_peak_analog_MiB"] = rssPeak / n / 1024.0;
    st.SetLabel(bench::Verdict(fromSpawn / n / 1e3, 0.5, "s from process start"));
}

} // namespace

BENCHMARK(BM_StartUp)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
