// Decoders in the window: a finding's "Add decoder" decodes the simulated
// capture on the worker thread into the results panel, a new capture decodes
// again, and --decode prints the annotations on the command line.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/form1.h"
#include "frame/analysis_menu.h"
#include "frame/capture_transfer.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "panels/add_decoder_dialog.h"
#include "panels/analysis_docks.h"
#include "panels/annotation_table_model.h"
#include "panels/decoders_dock.h"
#include "support/simulated_window.h"

namespace {

QString Texts(const QAbstractItemModel *t)
{
    QStringList rows;
    for (int r = 0; r < t->rowCount(); ++r)
        rows << t->index(r, 2).data().toString() + QStringLiteral(": ") + t->index(r, 4).data().toString();
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
    const QString texts = Texts(dock.shownResults());
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
    EXPECT_EQ(dock.shownResults()->rowCount(), 0);
    EXPECT_EQ(dock.result(), nullptr);
    SetMessageSink(nullptr);
}

// Whether a library whose file name contains `name` is loaded in this process.
bool LibraryLoaded(const char *name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

// The window comes up without the decoder library and its Python; the first
// decoding loads them.
TEST(DecodersDock, TheDecoderLibraryIsLoadedOnlyToDecode)
{
    if (!QFile::exists(QStringLiteral("/proc/self/maps")))
        GTEST_SKIP() << "no /proc here";
    SimulatedWindow sim;
    EXPECT_FALSE(LibraryLoaded("libsigrokdecode"));
    EXPECT_FALSE(LibraryLoaded("libpython"));
    DecodersDock &dock = sim.window->decoders();
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    dock.addDecoders({QStringLiteral("uart:rx=CH1:baudrate=115200")}, QStringLiteral("Add decoder"));
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_GT(dock.resultModel()->rowCount(), 0);
    EXPECT_TRUE(LibraryLoaded("libsigrokdecode"));
    EXPECT_TRUE(LibraryLoaded("libpython"));
}

// Decode → Add decoder…: the dialog opens once the decoders have loaded; the
// user picks UART, leaves TX unmapped and reads the simulator's text; Edit
// changes the baud rate; Cancel changes nothing.
TEST(DecodersDock, TheMenusDialogAddsAndEditsADecoder)
{
    SimulatedWindow sim;
    DecodersDock &dock = sim.window->decoders();
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    const auto accept = [](QDialog *d) {
        d->findChild<QDialogButtonBox *>(QStringLiteral("buttons"))->button(QDialogButtonBox::Ok)->click();
    };

    sim.window->action(QStringLiteral("actionAddDecoder"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.dialog() != nullptr; }, 20000));
    AddDecoderDialog *dialog = dock.dialog();
    QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("decoderSearch")), QStringLiteral("uart"));
    QTest::keyClick(dialog->findChild<QLineEdit *>(QStringLiteral("decoderSearch")), Qt::Key_Return);
    dialog->findChild<QComboBox *>(QStringLiteral("channel_tx"))->setCurrentIndex(0); // "—": not mapped
    ASSERT_TRUE(dialog->canAccept()) << qPrintable(dialog->problem());
    accept(dialog);
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_EQ(dock.decoders(), QStringList{QStringLiteral("uart:rx=CH1")});
    EXPECT_TRUE(dock.result()->instance(QStringLiteral("uart-1"))->byteStream(QStringLiteral("rx-data")).contains("sim #"));

    dock.decoderList()->setCurrentRow(0);
    dock.editSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.dialog() != nullptr; }, 20000));
    dock.dialog()->findChild<QLineEdit *>(QStringLiteral("option_baudrate"))->setText(QStringLiteral("9600"));
    accept(dock.dialog());
    ASSERT_TRUE(shown.wait(20000));
    ASSERT_EQ(dock.decoders().size(), 1);
    EXPECT_TRUE(dock.decoders()[0].contains(QStringLiteral("baudrate=9600"))) << qPrintable(dock.decoders()[0]);

    dock.openAddDialog();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.dialog() != nullptr; }, 20000));
    dock.dialog()->reject();
    QTest::qWait(50);
    EXPECT_EQ(dock.decoders().size(), 1);
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

// A decoder that fails is named in one message, not again with every new
// capture; its error stays in the status line.
TEST(DecodersDock, AFailingDecoderIsReportedOnce)
{
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    SimulatedWindow sim;
    DecodersDock &dock = sim.window->decoders();
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    dock.addDecoder(QStringLiteral("uart:rx=CH1:baudrate=0")); // the decoder divides by zero
    ASSERT_TRUE(shown.wait(20000));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("uart-1"))) << qPrintable(messages[0]);
    sim.window->form().Command1[2]->click(); // DataRead: the same capture again
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(dock.findChild<QLabel *>(QStringLiteral("decoderStatus"))->text().contains(QStringLiteral("uart-1")));
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

    // The decoder library is loaded only to decode: a broken one fails the
    // decoding with its reason and nothing else.
    QFile fake(dir.filePath(QStringLiteral("libsigrokdecode.so.4")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a library\n");
    fake.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), dir.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--decode"), QStringLiteral("i2c:scl=CH5:sda=CH6"), file});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0);
    const QString why = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(why.contains(QStringLiteral("the protocol decoder library could not be loaded"))) << qPrintable(why);
    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--detect"), file});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
}

} // namespace
