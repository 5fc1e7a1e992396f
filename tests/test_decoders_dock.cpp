// Decoders in the window: a finding's "Add decoder" decodes the simulated
// capture on the worker thread into the results panel, a new capture decodes
// again, and --decode prints the annotations on the command line.
#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/form1.h"
#include "frame/analysis_docks.h"
#include "frame/capture_transfer.h"
#include "frame/decoders_dock.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "support/simulated_window.h"

namespace {

QString Texts(const QTableWidget *t)
{
    QStringList rows;
    for (int r = 0; r < t->rowCount(); ++r)
        rows << t->item(r, 2)->text() + QStringLiteral(": ") + t->item(r, 4)->text();
    return rows.join(QLatin1Char('\n'));
}

TEST(DecodersDock, OneClickOnAFindingDecodesTheSimulatorsText)
{
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    SimulatedWindow sim;
    DecodersDock &dock = sim.window->decoders();
    EXPECT_FALSE(dock.isVisible());
    sim.window->action(QStringLiteral("actionDetect"))->trigger();
    QTableWidget *findings = sim.window->analysis().detection()->table();
    auto *add = qobject_cast<QPushButton *>(findings->cellWidget(0, 1));
    ASSERT_NE(add, nullptr);
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    add->click();
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_TRUE(dock.isVisible());
    ASSERT_EQ(dock.decoders().size(), 1);
    const QString texts = Texts(dock.results());
    EXPECT_TRUE(texts.contains(QStringLiteral("uart-1: "))) << qPrintable(texts.left(500));
    // The simulator's text line, read back from the rx data: "la-sim #…".
    ASSERT_NE(dock.result(), nullptr);
    const DecodeInstanceResult *uart = dock.result()->instance(QStringLiteral("uart-1"));
    ASSERT_NE(uart, nullptr);
    EXPECT_TRUE(uart->byteStream(QStringLiteral("rx-data")).contains("sim #")) << uart->byteStream(QStringLiteral("rx-data")).constData();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(QLatin1Char('\n')));

    // A new capture decodes again; removing the decoder empties the panel.
    sim.window->form().Command1[2]->click(); // DataRead
    ASSERT_TRUE(shown.wait(20000));
    dock.removeAll();
    EXPECT_EQ(dock.results()->rowCount(), 0);
    SetMessageSink(nullptr);
}

TEST(DecodersDock, BadDecoderIsRefusedWithAMessage)
{
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    SimulatedWindow sim;
    DecodersDock &dock = sim.window->decoders();
    dock.addDecoder(QStringLiteral("uart:rx=CH1:baudrate=fast"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 20000));
    EXPECT_TRUE(messages.first().contains(QStringLiteral("uart"))) << qPrintable(messages.first());
    EXPECT_TRUE(dock.decoders().isEmpty());
    SetMessageSink(nullptr);
}

TEST(DecodersDock, DecodeOnTheCommandLine)
{
    SimulatedWindow sim;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sim.sr"));
    QString error;
    ASSERT_TRUE(ExportFromWindow(sim.window->form(), file, &error)) << qPrintable(error);
    QProcess p;
    p.start(QStringLiteral(LA_APP_BINARY),
            {QStringLiteral("--decode"), QStringLiteral("i2c:scl=CH5:sda=CH6"), file});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("i2c-1: "))) << qPrintable(out);

    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--decode"), QStringLiteral("nosuch:x=CH1"), file});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_FALSE(p.readAllStandardError().isEmpty());
}

} // namespace
