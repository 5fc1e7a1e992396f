#include "frame/screenshot.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/form1.h"
#include "frame/main_window.h"
#include "panels/decoders_dock.h"
#include "panels/overview_band.h"

namespace {

// Runs the event loop until `done` or a timeout.
template <typename Done> void WaitFor(Done done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QEventLoop().processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// "decode:STACK": adds the decoder and waits for its result.
void Decode(MainWindow &window, const QString &stack)
{
    DecodersDock &dock = window.decoders();
    bool shown = false;
    const auto c = QObject::connect(&dock, &DecodersDock::resultShown, [&shown] { shown = true; });
    const int before = int(dock.decoders().size());
    dock.addDecoder(stack);
    // Refused (a message said why) once the catalogue is there and the list
    // did not grow. A run ends by its time limit at the latest.
    WaitFor([&] { return shown || (dock.catalogLoaded() && dock.decoders().size() == before); },
            (dock.timeLimitSeconds() + 30) * 1000);
    QObject::disconnect(c);
    if (!shown)
        std::fprintf(stderr, "logic-analyzer: %s decoded nothing\n", qPrintable(stack));
}

// "decode:STACK" before a read: adds the decoder, which then follows the read.
void AddBeforeRead(MainWindow &window, const QString &stack)
{
    DecodersDock &dock = window.decoders();
    const int before = int(dock.decoders().size());
    dock.addDecoder(stack);
    WaitFor([&] { return dock.catalogLoaded() && (dock.decoders().size() != before || !dock.dialog()); }, 30000);
}

// One step of --screenshot-actions after the capture: a menu command by
// object name, or "decode:STACK", "mag:N" (the magnification bar's value),
// "view:N" (the view start), "tab:TITLE" (a tab of the decoders panel).
void RunStep(MainWindow &window, const QString &step)
{
    Form1 &form = window.form();
    const QString value = step.section(QLatin1Char(':'), 1);
    if (step.startsWith(QLatin1String("decode:")))
        Decode(window, value);
    else if (step.startsWith(QLatin1String("mag:")))
        form.VScroll1->setValue(value.toInt());
    else if (step.startsWith(QLatin1String("view:")))
        form.HScroll1->setValue(value.toInt());
    else if (step.startsWith(QLatin1String("tab:")))
        window.decoders().showTab(value);
    else if (QAction *a = window.action(step))
        a->trigger();
    else
        std::fprintf(stderr, "logic-analyzer: no menu command %s\n", qPrintable(step));
}

// "reading:P": Setting and Run, and the picture from inside the read once
// the overview shows P % of the capture received; decoders added by
// "decode:STACK" follow the read.
void ShootDuringRead(MainWindow &window, const QString &path, int percent)
{
    Form1 &form = window.form();
    bool taken = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        const OverviewColumns &c = window.overview().columns();
        if (taken || c.isFinished() || c.scale().isEmpty()
            || int64_t(c.known()) * 100 < int64_t(percent) * c.scale().domain)
            return;
        taken = true;
        if (!window.grab().save(path))
            std::fprintf(stderr, "logic-analyzer: cannot write %s\n", qPrintable(path));
    });
    form.Command1[0]->click();
    watch.start();
    form.Command1[1]->click();
    watch.stop();
    if (!taken)
        std::fprintf(stderr, "logic-analyzer: the read ended before %d %% had arrived (is the simulator paced?)\n",
                     percent);
}

} // namespace

void ScheduleScreenshot(MainWindow &window, const QString &path, const QStringList &actions)
{
    QTimer::singleShot(0, &window, [&window, path, actions] {
        Form1 &form = window.form();
        QStringList steps;
        int readingPercent = -1;
        for (const QString &a : actions) {
            if (a.startsWith(QLatin1String("reading:"))) {
                readingPercent = std::clamp(a.section(QLatin1Char(':'), 1).toInt(), 0, 99);
            } else if (a.startsWith(QLatin1String("rate:"))) { // chosen before Setting sends it
                const int i = form.Combo1->findText(a.section(QLatin1Char(':'), 1));
                if (i >= 0)
                    form.Combo1->setCurrentIndex(i);
                else
                    std::fprintf(stderr, "logic-analyzer: no sampling rate %s\n", qPrintable(a));
            } else {
                steps << a;
            }
        }
        const auto zoomOut = [&form] {
            while (form.VScroll1->value() < form.VScroll1->maximum())
                form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        };
        if (readingPercent >= 0) {
            zoomOut();
            for (const QString &step : steps) {
                if (step.startsWith(QLatin1String("decode:")))
                    AddBeforeRead(window, step.section(QLatin1Char(':'), 1));
            }
            ShootDuringRead(window, path, readingPercent);
            window.close();
            return;
        }
        form.Command1[0]->click(); // Setting: returns once the instrument has taken it
        form.Command1[1]->click(); // Run, then the read of the capture
        zoomOut();
        for (const QString &step : steps)
            RunStep(window, step);
        // The last layouts (the frame fits itself to the screen in turns) and paint.
        WaitFor([] { return false; }, 150);
        if (!window.grab().save(path))
            std::fprintf(stderr, "logic-analyzer: cannot write %s\n", qPrintable(path));
        window.close();
    });
}
