// Start-up and memory. The benchmark starts this program again as a probe
// (a fresh process each time) and measures from the start of the process to
// the window shown; the probe also reports the time from its main() and the
// peak resident memory once a full Analog capture (16384 records) has been
// received and drawn. Targets: shown within 50 ms with nothing remembered,
// 60 ms with a remembered session of three decoders and two panels.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QAction>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "bench_support.h"
#include "frame/main_window.h"
#include "frame/remembered_choices.h"

namespace bench {

int RunStartupProbe(int argc, char **argv, std::chrono::steady_clock::time_point mainStart)
{
    // "--startup-probe DIR": the settings store in DIR is taken up, as the
    // program does at its start.
    if (argc > 2)
        qputenv("XDG_CONFIG_HOME", QByteArray(argv[2]));
    QApplication app(argc, argv);
    std::unique_ptr<MainWindow> window;
    if (argc > 2) {
        window = MakeFramedForm(false, false);
        RememberedChoices::attach(*window);
        window->show();
        DrainEvents();
    } else {
        window = MakeFramedForm(false, true); // window built, started, framed, shown and painted
    }
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

// A store as a user leaves it: three decoders in use, two panels shown.
QString RememberedSessionStore(const QTemporaryDir &dir)
{
    auto window = bench::MakeFramedForm(false, true);
    window->action(QStringLiteral("actionMeasurements"))->trigger();
    window->action(QStringLiteral("actionNotes"))->trigger();
    bench::DrainEvents();
    QSettings store(dir.filePath(QStringLiteral("logic-analyzer/logic-analyzer.ini")), QSettings::IniFormat);
    store.setValue(QStringLiteral("window/panels"), window->saveState(1));
    store.setValue(QStringLiteral("decoding/decoders"),
                   QStringList{QStringLiteral("uart:rx=CH1:baudrate=115200"), QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH4"),
                               QStringLiteral("i2c:scl=CH5:sda=CH6")});
    store.sync();
    return dir.path();
}

void StartUp(benchmark::State &st, const QString &store, double target)
{
    double fromSpawn = 0, fromMain = 0, rssShown = 0, rssPeak = 0;
    for (auto _ : st) {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        QStringList args{QString::fromLatin1(bench::kStartupProbeArg)};
        if (!store.isEmpty())
            args << store;
        probe.start(QCoreApplication::applicationFilePath(), args);
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
    st.SetLabel(bench::Verdict(fromSpawn / n / 1e3, target, "s from process start"));
}

// An empty store (the frame without anything remembered).
void BM_StartUp(benchmark::State &st) { StartUp(st, {}, 0.05); }

void BM_StartUpRememberedSession(benchmark::State &st)
{
    QTemporaryDir dir;
    StartUp(st, RememberedSessionStore(dir), 0.06);
}

} // namespace

BENCHMARK(BM_StartUp)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpRememberedSession)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
