// The Analyze menu on a capture of the simulated instrument: detection with
// its decoder suggestions, the measurements panel over the whole capture or
// between the time cursors, and --detect on the command line.
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "analysis/measurements.h"
#include "app/form1.h"
#include "frame/analysis_menu.h"
#include "frame/capture_transfer.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "panels/analysis_docks.h"
#include "panels/decoders_dock.h"
#include "support/pty_peer.h"
#include "support/simulated_window.h"

namespace {

QString RowText(QTableWidget *t, int row, int column)
{
    return t->item(row, column) ? t->item(row, column)->text() : QString();
}

TEST(AnalysisDocks, DetectionNamesTheSimulatorsSignalsAndOffersTheirDecoders)
{
    SimulatedWindow sim;
    ASSERT_GT(sim.window->form().state.LastSampleIndex, 100);
    DetectionDock *dock = sim.window->analysis().detection();
    EXPECT_FALSE(dock->isVisible()); // no panel until asked for
    const int height = sim.window->height();
    sim.window->action(QStringLiteral("actionDetect"))->trigger();
    EXPECT_TRUE(dock->isVisible());
    // The frame grows by the panel once the layouts settle.
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.window->height() > height; }, 2000)) << height;

    QTableWidget *t = dock->table();
    QStringList findings;
    for (int r = 0; r < t->rowCount(); ++r)
        findings << RowText(t, r, 0) + QStringLiteral(": ") + RowText(t, r, 2);
    const QString all = findings.join(QLatin1Char('\n'));
    // The capture starts inside a frame (the trigger is a rising edge on CH1).
    EXPECT_TRUE(all.contains(QStringLiteral("CH1: UART 115200 8N1 (idle high), 100%"))) << qPrintable(all);
    EXPECT_TRUE(all.contains(QStringLiteral("SPI mode 0"))) << qPrintable(all);
    EXPECT_TRUE(all.contains(QStringLiteral("I2C"))) << qPrintable(all);
    EXPECT_TRUE(all.contains(QStringLiteral("PWM"))) << qPrintable(all);

    QSignalSpy requested(dock, &DetectionDock::decoderRequested);
    auto *add = qobject_cast<QPushButton *>(t->cellWidget(0, 1));
    ASSERT_NE(add, nullptr);
    add->click();
    ASSERT_EQ(requested.size(), 1);
    EXPECT_TRUE(requested.at(0).at(0).toString().startsWith(QStringLiteral("uart:rx=CH1:baudrate=115200")));
}

TEST(AnalysisDocks, MeasurementsCoverTheWholeCaptureOrTheCursorsSpanWhenAskedFor)
{
    SimulatedWindow sim;
    Form1 &form = sim.window->form();
    sim.window->action(QStringLiteral("actionMeasurements"))->trigger();
    MeasurementsDock *dock = sim.window->analysis().measurements();
    ASSERT_TRUE(dock->isVisible());
    EXPECT_EQ(dock->table()->rowCount(), 8);
    // The whole capture, whatever the start-up cursors (50 and 100) enclose.
    EXPECT_FALSE(dock->betweenCursors()->isChecked());
    EXPECT_TRUE(dock->spanText().startsWith(QStringLiteral("Whole capture"))) << qPrintable(dock->spanText());
    const Measurements m = MeasureChannels(form.capture(), 0, form.capture().sampleCount());
    EXPECT_EQ(RowText(dock->table(), 6, 1), QString::number(m.channels[6].risingEdges + m.channels[6].fallingEdges));
    EXPECT_GT(m.channels[6].risingEdges, 10); // the PWM line

    // Between the cursors when asked for, following their drags.
    dock->betweenCursors()->click();
    EXPECT_TRUE(dock->spanText().startsWith(QStringLiteral("Samples 50 to 100"))) << qPrintable(dock->spanText());
    form.Picture1_MouseDown(1, 0, 240, 100); // x 240 at "Mag ×1", view start 0: sample 200
    form.Picture1_MouseUp(1, 0, 240, 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->spanText().startsWith(QStringLiteral("Samples 50 to 200")); }, 2000))
        << qPrintable(dock->spanText());
    // Cursors on one sample enclose nothing: the whole capture again.
    form.Picture1_MouseDown(1, 0, 90, 100);
    form.Picture1_MouseUp(1, 0, 90, 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->spanText().startsWith(QStringLiteral("Whole capture")); }, 2000))
        << qPrintable(dock->spanText());
    dock->betweenCursors()->click();
    EXPECT_TRUE(dock->spanText().startsWith(QStringLiteral("Whole capture"))) << qPrintable(dock->spanText());
    EXPECT_FALSE(dock->spanText().contains(QStringLiteral("cursors"))) << qPrintable(dock->spanText());
}

// Nothing of a panel's body is built before it first shows: the window comes
// up sooner, and a panel shown later is as complete as one built at once.
TEST(AnalysisDocks, PanelsAreBuiltWhenFirstShown)
{
    SimulatedWindow sim;
    MainWindow &w = *sim.window;
    EXPECT_EQ(w.findChild<QTableWidget *>(QStringLiteral("measurementsTable")), nullptr);
    EXPECT_EQ(w.findChild<QTableWidget *>(QStringLiteral("detectionTable")), nullptr);
    EXPECT_EQ(w.findChild<QWidget *>(QStringLiteral("decoderTabs")), nullptr);
    EXPECT_EQ(w.findChild<QWidget *>(QStringLiteral("decoderResults")), nullptr);

    w.action(QStringLiteral("actionMeasurements"))->trigger();
    auto *measurements = w.findChild<QTableWidget *>(QStringLiteral("measurementsTable"));
    ASSERT_NE(measurements, nullptr);
    EXPECT_TRUE(measurements->isVisible());
    EXPECT_EQ(measurements->rowCount(), 8);
    EXPECT_EQ(w.findChild<QTableWidget *>(QStringLiteral("detectionTable")), nullptr);

    w.decoders().show();
    auto *results = w.findChild<QWidget *>(QStringLiteral("decoderResults"));
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return results->isVisible(); }, 2000));
    EXPECT_NE(w.findChild<QWidget *>(QStringLiteral("streamText")), nullptr);
}

TEST(AnalysisDocks, DetectOnTheCommandLine)
{
    SimulatedWindow sim;
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    QString error;
    ASSERT_TRUE(ExportFromWindow(sim.window->form(), log, &error)) << qPrintable(error);
    QProcess p;
    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--detect"), log});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("--decode uart:rx=CH1:baudrate=115200"))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("--decode i2c:scl=CH5:sda=CH6"))) << qPrintable(out);

    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--detect"), dir.filePath(QStringLiteral("none.vcd"))});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_NE(p.exitCode(), 0);
}

} // namespace
