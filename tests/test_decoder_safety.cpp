// Decoders that misbehave cannot freeze or sink the program: one that never
// returns, one that raises, one that puts out annotations without end and
// one that fails to import, all in this process's own user decoder folder.
// Each is stopped within its limit by the engine, in the window and on the
// command line; a reload reads an edited decoder; the command line loads
// only the decoders it names.
#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "decode/decode_engine.h"
#include "export/capture_file_io.h"
#include "frame/main_window.h"
#include "panels/add_decoder_dialog.h"
#include "panels/annotation_layout.h"
#include "panels/decoders_dock.h"
#include "support/simulated_window.h"
#include "support/simulator_capture.h"
#include "support/test_decoders.h"

namespace {

// The decoders must be in their folder before the library first looks.
class TestDecoderFolderEnvironment : public ::testing::Environment {
public:
    void SetUp() override { WriteTestDecoders(); }
};
const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new TestDecoderFolderEnvironment);

const QString kUart = QStringLiteral("uart:rx=CH1:baudrate=115200");

DecodeRequest Request(const QStringList &stacks, std::shared_ptr<const DecoderCatalog> catalog = LoadDecoderCatalog())
{
    DecodeRequest request;
    QString error;
    EXPECT_TRUE(ParseDecodeRequest(stacks, *catalog, &request, &error)) << qPrintable(error);
    return request;
}

double Seconds(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e9; }

TEST(DecoderSafety, TheCatalogueShowsUserDecodersAndWhyOneFailsToLoad)
{
    const auto catalog = LoadDecoderCatalog();
    const QString folder = TestDecoderFolder();
    EXPECT_TRUE(catalog->userFolders().contains(folder)) << qPrintable(catalog->userFolders().join(' '));
    for (const char *id : {"hang", "raiser", "flood"}) {
        const DecoderInfo *d = catalog->find(QString::fromLatin1(id));
        ASSERT_NE(d, nullptr) << id;
        EXPECT_TRUE(d->fromUserFolder) << id;
        EXPECT_EQ(d->folder, folder);
    }
    EXPECT_FALSE(catalog->find(QStringLiteral("uart"))->fromUserFolder);
    EXPECT_EQ(catalog->find(QStringLiteral("broken")), nullptr);
    const DecoderFailure *broken = catalog->failure(QStringLiteral("broken"));
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->fromUserFolder);
    EXPECT_EQ(broken->file, folder + QStringLiteral("/broken/pd.py"));
    EXPECT_EQ(broken->line, 2);
    EXPECT_EQ(broken->message, QStringLiteral("ModuleNotFoundError: No module named 'no_such_module_for_the_test'"));
    EXPECT_EQ(catalog->failures().size(), 1u); // "common" and the like are no decoders

    // Asking for it says why it is not there.
    DecoderStack stack;
    QString error;
    EXPECT_FALSE(ParseDecoderStack(QStringLiteral("broken:data=CH1"), *catalog, &stack, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("fails to load: ") + broken->file + QStringLiteral(":2:"))) << qPrintable(error);

    // The command line's catalogue holds what it names and nothing else.
    const auto some = LoadDecoderCatalogFor({QStringLiteral("i2c"), QStringLiteral("eeprom24xx"), QStringLiteral("nosuch")});
    ASSERT_EQ(some->decoders().size(), 2u);
    EXPECT_TRUE(some->find(QStringLiteral("eeprom24xx"))->canStackOn(*some->find(QStringLiteral("i2c"))));
    EXPECT_EQ(some->whyMissing(QStringLiteral("nosuch")), QStringLiteral("unknown decoder \"nosuch\""));
}

TEST(DecoderSafety, LimitsStopDecodersInsideTheirPythonCode)
{
    const Capture capture = SimulatorCapture();
    DecodeLimits limits;
    limits.timeLimitSeconds = 0.5;
    const DecodeRequest hang = Request({kUart, QStringLiteral("hang:data=CH2")});
    QElapsedTimer t;
    t.start();
    auto result = DecodeNow(capture, hang, limits);
    EXPECT_LT(Seconds(t), 1.0);
    EXPECT_EQ(result->stopReason, DecodeStopReason::TimeLimit);
    EXPECT_EQ(result->instance(QStringLiteral("hang-1"))->stopped, QStringLiteral("stopped after 0.5 s"));
    EXPECT_EQ(result->stopLine(), QStringLiteral("hang-1: stopped after 0.5 s"));
    // The interruption is no error of the decoder's, and the UART's first
    // chunk was decoded before the hang held the run.
    EXPECT_TRUE(result->errors().isEmpty()) << qPrintable(result->errors().join('\n'));
    EXPECT_GT(result->instance(QStringLiteral("uart-1"))->annotationCount(), 0u);

    limits = DecodeLimits();
    limits.annotationLimit = 5000;
    result = DecodeNow(capture, Request({QStringLiteral("flood:data=CH1")}), limits);
    EXPECT_EQ(result->stopReason, DecodeStopReason::AnnotationLimit);
    EXPECT_EQ(result->instance(QStringLiteral("flood-1"))->annotationCount(), 5000u);
    EXPECT_EQ(result->stopLine(), QStringLiteral("flood-1: stopped after 5000 annotations"));

    // The one that raises says where, and the others go on.
    result = DecodeNow(capture, Request({QStringLiteral("raiser:data=CH2"), kUart}));
    EXPECT_FALSE(result->stopped());
    const DecodeInstanceResult *raiser = result->instance(QStringLiteral("raiser-1"));
    EXPECT_TRUE(raiser->error.contains(QStringLiteral("ValueError"))) << qPrintable(raiser->error);
    ASSERT_GE(raiser->errorTrace.size(), 2);
    EXPECT_TRUE(raiser->errorTrace.last().startsWith(QStringLiteral("ValueError: gave up at sample")));
    EXPECT_TRUE(raiser->errorTrace[raiser->errorTrace.size() - 2].startsWith(
        TestDecoderFolder() + QStringLiteral("/raiser/pd.py:%1 in fail").arg(kRaiserLine)))
        << qPrintable(raiser->errorTrace.join('\n'));
    EXPECT_EQ(raiser->annotationCount(), 1u);
    EXPECT_TRUE(result->instance(QStringLiteral("uart-1"))->error.isEmpty());
}

TEST(DecoderSafety, TheEngineStopsAStuckDecoderAtOnceAndGoesOn)
{
    const auto waitFor = [](const std::function<bool()> &done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    };
    const Capture capture = SimulatorCapture();
    LoadDecoderCatalog();
    DecodeEngine engine;
    std::vector<std::shared_ptr<const DecodeResult>> delivered;
    QObject::connect(&engine, &DecodeEngine::finished, [&](auto r) { delivered.push_back(r); });

    // Superseded while stuck: idle within 0.5 s, and the next run decodes.
    engine.start(capture, Request({QStringLiteral("hang:data=CH1")}));
    QTest::qWait(300);
    ASSERT_TRUE(engine.isBusy());
    QElapsedTimer t;
    t.start();
    engine.cancel();
    ASSERT_TRUE(waitFor([&] { return !engine.isBusy(); }, 2000));
    EXPECT_LT(Seconds(t), 0.5);
    engine.start(capture, Request({kUart}));
    ASSERT_TRUE(waitFor([&] { return !delivered.empty(); }, 5000));
    EXPECT_FALSE(delivered[0]->stopped());
    EXPECT_GT(delivered[0]->instance(QStringLiteral("uart-1"))->annotationCount(), 100u);

    // Stop keeps what was decoded.
    engine.start(capture, Request({kUart, QStringLiteral("hang:data=CH2")}));
    QTest::qWait(300);
    t.restart();
    engine.stop();
    ASSERT_TRUE(waitFor([&] { return delivered.size() == 2; }, 2000));
    EXPECT_LT(Seconds(t), 0.5);
    EXPECT_EQ(delivered[1]->stopReason, DecodeStopReason::User);
    EXPECT_EQ(delivered[1]->stopLine(), QStringLiteral("hang-1: stopped"));

    // An engine going away with a decoder stuck takes well under a second.
    {
        auto doomed = std::make_unique<DecodeEngine>();
        doomed->start(capture, Request({QStringLiteral("hang:data=CH1")}));
        QTest::qWait(300);
        t.restart();
        doomed.reset();
        EXPECT_LT(Seconds(t), 1.0);
    }
}

TEST(DecoderSafety, AReloadReadsAnEditedDecoderAgain)
{
    const Capture capture = SimulatorCapture(Capture::Mode::Logic, 0, 4000);
    const auto says = [&](const char *text) {
        WriteTestDecoder(QStringLiteral("edited"), QStringLiteral("        self.wait({0: 'e'})\n"
                                                                  "        self.put(0, 1, self.out_ann, [0, ['%1']])\n"
                                                                  "        while True:\n"
                                                                  "            self.wait({0: 'e'})\n")
                                                       .arg(QLatin1String(text)));
    };
    says("first");
    auto catalog = ReloadDecoderCatalog();
    auto result = DecodeNow(capture, Request({QStringLiteral("edited:data=CH1")}, catalog));
    ASSERT_EQ(result->instances.size(), 1u);
    EXPECT_EQ(result->instances[0].inEmissionOrder().at(0)->texts, QStringList{QStringLiteral("first")});

    says("second");
    catalog = ReloadDecoderCatalog();
    EXPECT_EQ(LoadDecoderCatalog(), catalog);
    result = DecodeNow(capture, Request({QStringLiteral("edited:data=CH1")}, catalog));
    EXPECT_EQ(result->instances[0].inEmissionOrder().at(0)->texts, QStringList{QStringLiteral("second")});

    QDir(TestDecoderFolder() + QStringLiteral("/edited")).removeRecursively();
    catalog = ReloadDecoderCatalog();
    EXPECT_EQ(catalog->find(QStringLiteral("edited")), nullptr);
    EXPECT_NE(catalog->find(QStringLiteral("uart")), nullptr);
}

struct CommandRun {
    int status = -1;
    QStringList out;
    QStringList err;
    double seconds = 0;
};

CommandRun RunCommand(const QStringList &arguments)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(LA_APP_BINARY), arguments);
    EXPECT_TRUE(p.waitForFinished(60000)) << qPrintable(arguments.join(' '));
    CommandRun r;
    r.seconds = Seconds(t);
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return r;
}

TEST(DecoderSafety, TheCommandLineStopsWithStatus4AndSaysWhy)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sim.sr"));
    QString error;
    ASSERT_TRUE(ExportCaptureFile(SimulatorCapture(), file, &error)) << qPrintable(error);
    const auto decode = [&](const QStringList &options) { return RunCommand(options + QStringList{file}); };

    CommandRun r = decode({QStringLiteral("--decode"), QStringLiteral("hang:data=CH1"), QStringLiteral("--decode"), kUart,
                           QStringLiteral("--decode-timeout"), QStringLiteral("0.5")});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, QStringList{QStringLiteral(
                         "logic-analyzer: decode: hang-1: stopped after 0.5 s (the limit of --decode-timeout)")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("uart-2: 6C")) || r.out.isEmpty() || r.out.first().startsWith("uart-"));

    r = decode({QStringLiteral("--decode"), QStringLiteral("flood:data=CH1"), QStringLiteral("--decode-max-annotations"),
                QStringLiteral("1000")});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out.size(), 1000);
    EXPECT_EQ(r.out.last(), QStringLiteral("flood-1: flood 999"));
    EXPECT_EQ(r.err, QStringList{QStringLiteral("logic-analyzer: decode: flood-1: stopped after 1000 annotations "
                                                "(the limit of --decode-max-annotations)")});

    r = decode({QStringLiteral("--decode"), QStringLiteral("raiser:data=CH1")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("raiser-1: about to fail")});
    ASSERT_EQ(r.err.size(), 1) << qPrintable(r.err.join('\n'));
    EXPECT_TRUE(r.err[0].contains(QStringLiteral("raiser-1: ValueError")));

    r = decode({QStringLiteral("--decode"), QStringLiteral("broken:data=CH1")});
    EXPECT_EQ(r.status, 2);
    ASSERT_EQ(r.err.size(), 1);
    EXPECT_TRUE(r.err[0].contains(QStringLiteral("broken/pd.py:2: ModuleNotFoundError"))) << qPrintable(r.err[0]);

    r = decode({QStringLiteral("--decode"), kUart, QStringLiteral("--decode-timeout"), QStringLiteral("soon")});
    EXPECT_EQ(r.status, 2);

    // A capture taken by the command line is decoded under the same limits,
    // and its file stays written.
    const QString captured = dir.filePath(QStringLiteral("run.sr"));
    r = RunCommand({QStringLiteral("--capture"), captured, QStringLiteral("--simulate"), QStringLiteral("--sim-no-pacing"),
                    QStringLiteral("--sim-time-scale"), QStringLiteral("0"), QStringLiteral("--quiet"),
                    QStringLiteral("--decode"), QStringLiteral("hang:data=CH1"), QStringLiteral("--decode-timeout"),
                    QStringLiteral("0.5")});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, QStringList{QStringLiteral(
                         "logic-analyzer: decode: hang-1: stopped after 0.5 s (the limit of --decode-timeout)")});
    EXPECT_TRUE(QFileInfo::exists(captured));
}

// The window: a decoder stuck in Python stops at the panel's time limit, or
// at once with Stop or when removed, and then the others decode; the dialog
// marks the user's decoders and lists the broken one greyed with its error.
TEST(DecoderSafetyWindow, AStuckDecoderStopsAndTheWindowGoesOn)
{
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    auto sim = std::make_unique<SimulatedWindow>();
    DecodersDock &dock = sim->window->decoders();
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    QSignalSpy limitChanged(&dock, &DecodersDock::timeLimitChanged);
    EXPECT_EQ(dock.timeLimitSeconds(), 30);
    dock.timeLimitBox()->setValue(1);
    EXPECT_EQ(limitChanged.size(), 1);

    dock.addDecoder(QStringLiteral("hang:data=CH2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.isDecoding(); }, 20000));
    EXPECT_TRUE(dock.stopButton()->isEnabled());
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_LT(Seconds(t), 1.5);
    EXPECT_TRUE(dock.statusText().contains(QStringLiteral("hang-1: stopped after 1 s"))) << qPrintable(dock.statusText());
    EXPECT_TRUE(dock.decoderList()->item(0)->text().contains(QStringLiteral("hang-1 stopped after 1 s")));
    EXPECT_FALSE(dock.stopButton()->isEnabled());
    const auto rows = AnnotationRows(*dock.result());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].title, QStringLiteral("hang-1: stopped"));

    // With a long limit, Stop stops it at once and keeps the UART's lines.
    dock.setTimeLimitSeconds(30);
    EXPECT_EQ(dock.timeLimitBox()->value(), 30);
    dock.addDecoder(kUart);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.isDecoding(); }, 5000));
    QTest::qWait(300);
    t.restart();
    dock.stopButton()->click();
    ASSERT_TRUE(shown.wait(2000));
    EXPECT_LT(Seconds(t), 0.5);
    EXPECT_TRUE(dock.statusText().contains(QStringLiteral("Decoding stopped at sample"))) << qPrintable(dock.statusText());

    // Removing the stuck one lets the UART decode the whole capture.
    dock.decoderList()->setCurrentRow(0);
    t.restart();
    dock.removeSelected();
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_LT(Seconds(t), 1.0);
    EXPECT_FALSE(dock.result()->stopped());
    EXPECT_TRUE(dock.result()->instance(QStringLiteral("uart-1"))->byteStream(QStringLiteral("rx-data")).contains("sim #"));

    // A decoder that raises: where, in its line's tooltip and the panel.
    dock.addDecoder(QStringLiteral("raiser:data=CH1"));
    ASSERT_TRUE(shown.wait(5000));
    const QString where = QStringLiteral("raiser/pd.py:%1 in fail").arg(kRaiserLine);
    EXPECT_TRUE(dock.decoderList()->item(1)->toolTip().contains(where)) << qPrintable(dock.decoderList()->item(1)->toolTip());
    EXPECT_TRUE(dock.statusText().contains(where));

    // Closing the window with a decoder stuck takes well under a second.
    dock.addDecoder(QStringLiteral("hang:data=CH3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.isDecoding(); }, 5000));
    QTest::qWait(300);
    t.restart();
    sim.reset();
    EXPECT_LT(Seconds(t), 1.0);
    SetMessageSink(nullptr);
}

TEST(DecoderSafetyWindow, TheDialogMarksYourDecodersAndReloadReadsThemAgain)
{
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    WriteTestDecoder(QStringLiteral("mine"), QStringLiteral("        self.wait({0: 'e'})\n"
                                                            "        self.put(0, 1, self.out_ann, [0, ['old']])\n"
                                                            "        while True:\n"
                                                            "            self.wait({0: 'e'})\n"));
    if (IsDecoderCatalogLoaded())
        ReloadDecoderCatalog(); // an earlier test of this process loaded the decoders without it
    SimulatedWindow sim;
    DecodersDock &dock = sim.window->decoders();
    sim.window->action(QStringLiteral("actionAddDecoder"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock.dialog() != nullptr; }, 20000));
    const auto *list = dock.dialog()->findChild<QTreeWidget *>(QStringLiteral("decoderCatalogList"));
    const auto find = [&](const QString &id) -> const QTreeWidgetItem * {
        const auto items = list->findItems(id, Qt::MatchExactly, 0);
        return items.isEmpty() ? nullptr : items.first();
    };
    ASSERT_NE(find(QStringLiteral("mine")), nullptr);
    EXPECT_EQ(find(QStringLiteral("mine"))->text(4), QStringLiteral("yours"));
    EXPECT_EQ(find(QStringLiteral("uart"))->text(4), QString());
    const QTreeWidgetItem *broken = find(QStringLiteral("broken"));
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->isDisabled());
    EXPECT_TRUE(broken->text(2).endsWith(QStringLiteral("broken/pd.py:2: ModuleNotFoundError: No module named "
                                                         "'no_such_module_for_the_test'")));
    EXPECT_TRUE(dock.dialog()->findChild<QLabel *>(QStringLiteral("userFolderNote"))->text().contains(
        QStringLiteral("/libsigrokdecode/decoders")));
    dock.dialog()->reject();

    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    dock.addDecoder(QStringLiteral("mine:data=CH1"));
    dock.addDecoder(kUart);
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_EQ(dock.result()->instance(QStringLiteral("mine-1"))->inEmissionOrder().at(0)->texts.first(),
              QStringLiteral("old"));

    // Edited: Reload decodes with the new code.
    WriteTestDecoder(QStringLiteral("mine"), QStringLiteral("        self.wait({0: 'e'})\n"
                                                            "        self.put(0, 1, self.out_ann, [0, ['new']])\n"
                                                            "        while True:\n"
                                                            "            self.wait({0: 'e'})\n"));
    sim.window->action(QStringLiteral("actionReloadDecoders"))->trigger();
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_EQ(dock.result()->instance(QStringLiteral("mine-1"))->inEmissionOrder().at(0)->texts.first(),
              QStringLiteral("new"));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));

    // Broken now: named, and the UART goes on.
    WriteTestDecoder(QStringLiteral("mine"), QStringLiteral("        self.wait({0: 'e'}\n"));
    sim.window->action(QStringLiteral("actionReloadDecoders"))->trigger();
    ASSERT_TRUE(shown.wait(20000));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("mine now fails to load: "))) << qPrintable(messages[0]);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("mine/pd.py:31: SyntaxError"))) << qPrintable(messages[0]);
    EXPECT_EQ(dock.result()->instances.size(), 1u);
    EXPECT_TRUE(dock.decoderList()->item(0)->text().contains(QStringLiteral("(not decoded)")));
    QDir(TestDecoderFolder() + QStringLiteral("/mine")).removeRecursively();
    SetMessageSink(nullptr);
}

// The README's example decoder gives what sigrok-cli gives with it.
TEST(DecoderSafety, TheExampleDecoderAgreesWithSigrokCli)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed";
    const QString example = QStringLiteral(LA_SOURCE_DIR "/docs/decoders/pulses");
    const QString target = TestDecoderFolder() + QStringLiteral("/pulses");
    QDir().mkpath(target);
    for (const char *name : {"__init__.py", "pd.py"})
        ASSERT_TRUE(QFile::copy(example + '/' + name, target + '/' + name) || QFile::exists(target + '/' + name));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sim.sr"));
    QString error;
    ASSERT_TRUE(ExportCaptureFile(SimulatorCapture(), file, &error)) << qPrintable(error);
    const QString stack = QStringLiteral("pulses:data=CH4:unit=ns");
    const CommandRun ours = RunCommand({QStringLiteral("--decode"), stack, file});
    EXPECT_EQ(ours.status, 0) << qPrintable(ours.err.join('\n'));
    ASSERT_FALSE(ours.out.isEmpty());
    EXPECT_TRUE(ours.out.first().startsWith(QStringLiteral("pulses-1: High for "))) << qPrintable(ours.out.first());
    QProcess p;
    p.start(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), file, QStringLiteral("-P"), stack});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(ours.out, QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
}

} // namespace
