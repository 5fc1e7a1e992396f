// logic-analyzer --capture: the bytes it sends are the window's for the same
// settings, its files are read by sigrok-cli, --wait and Ctrl+C write what was
// recorded, and a bad command line costs nothing.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <csignal>

#include "acquire/capture_options.h"
#include "acquire/option_values.h"
#include "acquire/reply_reader.h"
#include "app/form1.h"
#include "export/capture_file_io.h"
#include "export/vcd_export.h"
#include "sim/signals.h"
#include "support/form_fixture.h"
#include "support/pty_peer.h"

namespace {

// A small instrument for a pseudo-terminal: ACK to every Setting step and to
// Run (unless `silentRun`, a trigger that never comes), the stop answered by
// the length 300, and a short stream of the mode last set.
PtyPeer::Responder Instrument(bool silentRun)
{
    auto analog = std::make_shared<bool>(false);
    return [analog, silentRun](const QByteArray &command) -> QByteArray {
        const uint8_t first = uint8_t(command[0]);
        switch (first & 0x0F) {
        case 0x9:
            *analog = first == 0x19;
            return Bytes({0x06});
        case 0x4:
        case 0x5:
            return silentRun ? QByteArray() : Bytes({0x06});
        case 0xE:
            return Bytes({0x02, 0x01, 0x2C, 0x03});
        case 0x6:
        case 0x7:
            return *analog ? Bytes({0x02, 0, 0, 1, 0x7F, 0, 1, 1, 0x80, 0x80})
                           : Bytes({0x02, 0, 0, 5, 0, 0x10, 4, 0, 0x25, 5, 0x80});
        default:
            return Bytes({0x06});
        }
    };
}

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

Outcome Program(const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(LA_APP_BINARY), args);
    Outcome r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "timed out: " << args.join(QLatin1Char(' ')).toStdString();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// One set of options and the control states a user sets for the same capture.
struct OptionSet {
    QStringList args;
    bool analog = false;
    int rate = 0;
    int length = 32767;
    int kind = 0;
    int conditionButton = 2; // Option2 index: 0 "Ｈ ＝", 1 "Ｌ ≠", 2 "↑ ＝", 3 "↓ ≠"
    int channel = 0;
    int pattern = 0b0101;
    int levelScroll = 127;
    bool stop = false; // the trigger never comes: Stop (--wait in the command)
};

QByteArray WindowBytes(const OptionSet &o)
{
    PtyPeer peer;
    peer.startResponder(Instrument(o.stop));
    auto form = MakePtyForm(peer);
    Form1 &f = *form;
    if (o.analog)
        f.Option4[1]->click();
    f.Combo1->setCurrentIndex(o.rate);
    f.Slider1->setValue(o.length);
    f.Option1[o.kind]->click();
    f.Option2[o.conditionButton]->click();
    if (!o.analog)
        f.Option3[o.channel]->click();
    for (int i = 0; i < 4; ++i) {
        if (f.checkValue(i) != ((o.pattern >> i) & 1))
            f.setCheckValue(i, (o.pattern >> i) & 1); // the boxes are hidden unless Pattern is chosen
    }
    f.VScroll2->setValue(o.levelScroll);
    f.Command1[0]->click(); // Setting
    if (o.stop)
        QTimer::singleShot(300, &f, [&f] { f.Command1[1]->click(); }); // Stop
    f.Command1[1]->click(); // Run, then the read-back
    WaitUntil([] { return false; }, 100);
    return peer.received();
}

QByteArray CommandBytes(const OptionSet &o, int expectedStatus)
{
    PtyPeer peer;
    peer.startResponder(Instrument(o.stop));
    QTemporaryDir dir;
    const Outcome r = Program(QStringList{QStringLiteral("--capture"), dir.filePath(QStringLiteral("x.log")),
                                      QStringLiteral("--port"), peer.slavePath(), QStringLiteral("--quiet")}
                          + o.args);
    EXPECT_EQ(r.status, expectedStatus) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("x.log"))));
    return peer.received();
}

// The data bytes of "uart-1: 6C" lines, as "6C 61 ...".
QByteArray UartBytes(const QByteArray &lines)
{
    static const QRegularExpression data(QStringLiteral("^uart-1: ([0-9A-F]{2})$"), QRegularExpression::MultilineOption);
    QByteArrayList bytes;
    for (auto it = data.globalMatch(QString::fromUtf8(lines)); it.hasNext();)
        bytes << it.next().captured(1).toLatin1();
    return bytes.join(' ');
}

QStringList Args(const char *text) { return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

} // namespace

TEST(CaptureCommand, SendsTheWindowsBytesForTheSameSettings)
{
    std::vector<OptionSet> sets;
    sets.push_back({});
    {
        OptionSet o;
        o.args = Args("--rate 1MHz --samples 1000 --trigger fall:CH3");
        o.rate = 4, o.length = 1000, o.conditionButton = 3, o.channel = 2;
        sets.push_back(o);
    }
    {
        OptionSet o;
        o.args = Args("--rate 100khz --time 2ms --trigger pattern!=0110");
        o.rate = 7, o.length = 200, o.kind = 1, o.conditionButton = 1, o.pattern = 0b0110;
        sets.push_back(o);
    }
    {
        OptionSet o;
        o.args = Args("--trigger high:CH4 --wait 0.3");
        o.conditionButton = 0, o.channel = 3, o.stop = true;
        sets.push_back(o);
    }
    {
        OptionSet o;
        o.args = Args("--mode analog");
        o.analog = true, o.length = 16383;
        sets.push_back(o);
    }
    {
        OptionSet o;
        o.args = Args("--mode analog --rate 1kHz --samples 300 --trigger free");
        o.analog = true, o.rate = 4, o.length = 300, o.kind = 1;
        sets.push_back(o);
    }
    {
        OptionSet o;
        o.args = Args("--mode analog --rate 20KHz --time 250ms --trigger low --level 1.2V");
        o.analog = true, o.length = 5000, o.conditionButton = 1, o.levelScroll = 255 - 61;
        sets.push_back(o);
    }
    for (const OptionSet &o : sets) {
        SCOPED_TRACE(o.args.join(QLatin1Char(' ')).toStdString());
        const QByteArray window = WindowBytes(o);
        EXPECT_EQ(CommandBytes(o, o.stop ? 3 : 0).toHex(' '), window.toHex(' '));
        EXPECT_GE(window.size(), 8);
    }
}

TEST(CaptureCommand, SimulatedCapturesInEveryFormatAreReadBack)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed";
    QTemporaryDir dir;
    // "la-sim #" on CH1, among the bytes the UART decoder prints.
    const QByteArray text = "6C 61 2D 73 69 6D 20 23";
    const QString uart = QStringLiteral("uart:rx=CH1:baudrate=115200");
    for (const char *name : {"x.sr", "x.vcd", "x.csv", "x.log"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        // 1 MHz: whole lines of text within the capture.
        const Outcome r = Program({QStringLiteral("--capture"), path, QStringLiteral("--simulate"),
                                   QStringLiteral("--sim-no-pacing"), QStringLiteral("--sim-time-scale"),
                                   QStringLiteral("0"), QStringLiteral("--rate"), QStringLiteral("1MHz"),
                                   QStringLiteral("--decode"), uart});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(UartBytes(r.out).contains(text)) << "--decode after the capture";
        QStringList input{QStringLiteral("-i"), path};
        if (path.endsWith(QLatin1String(".vcd")))
            input << QStringLiteral("-I")
                  << QStringLiteral("vcd:downsample=%1").arg(1'000'000 / VcdTimescaleFor(1'000'000).ps);
        if (path.endsWith(QLatin1String(".csv")))
            input << QStringLiteral("-I") << QStringLiteral("csv:column_formats=t,8l");
        if (path.endsWith(QLatin1String(".log"))) {
            // sigrok-cli does not read this program's own format.
            const ImportResult file = ImportCaptureFile(path);
            ASSERT_TRUE(file.ok) << file.error.toStdString();
            EXPECT_EQ(file.capture.sampleCount(), 32767);
            continue;
        }
        QProcess sigrok;
        sigrok.start(QStringLiteral("sigrok-cli"), input + QStringList{QStringLiteral("-P"), uart});
        ASSERT_TRUE(sigrok.waitForFinished(60000));
        EXPECT_EQ(sigrok.exitCode(), 0) << sigrok.readAllStandardError().toStdString();
        EXPECT_TRUE(UartBytes(sigrok.readAllStandardOutput()).contains(text));
    }
}

namespace {

// A capture that never ends by itself: 100 kHz on a simulator whose capture
// times are a thousand times longer (10 ms a period).
QStringList EndlessCapture(const QString &path)
{
    return {QStringLiteral("--capture"), path,           QStringLiteral("--simulate"),
            QStringLiteral("--sim-no-pacing"), QStringLiteral("--sim-time-scale"), QStringLiteral("1000"),
            QStringLiteral("--rate"),    QStringLiteral("100kHz"), QStringLiteral("--quiet")};
}

// The file holds the simulator's levels, sample for sample, for as many
// periods as it says it recorded.
void ExpectRecorded(const QString &path, int minimumPeriods)
{
    const ImportResult file = ImportCaptureFile(path);
    ASSERT_TRUE(file.ok) << file.error.toStdString();
    const Capture &c = file.capture;
    EXPECT_GE(c.sampleCount(), minimumPeriods);
    EXPECT_LT(c.sampleCount(), 32767);
    sim::SimSettings s; // as the command sets it up: 100 kHz, rise on CH1, Logic
    s.rateKind = 0x71;
    s.conditionChannel = 0x32;
    s.pattern = 0x53;
    s.mode = 0x09;
    const int64_t start = sim::triggerStart(s);
    for (int32_t n = 0; n < c.sampleCount(); ++n)
        ASSERT_EQ(c.levelsAt(n), sim::logicLevelsAt(start + n, 7)) << "sample " << n;
}

} // namespace

TEST(CaptureCommand, WaitRunsOutStopsAndWritesWhatWasRecorded)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("late.sr"));
    const Outcome r = Program(EndlessCapture(path) << QStringLiteral("--wait") << QStringLiteral("0.5"));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("logic-analyzer: no trigger within 0.5 s")) << r.err.toStdString();
    ExpectRecorded(path, 20);
}

// Ctrl+C while the instrument waits for a trigger that never comes. Once:
// stop as the Stop button does, read back, write, status 130, and no further
// capture of the series. Twice (the stop not yet answered): end at once with
// no file at all. The presses follow the Run command on the wire, however
// long the program took to start.
TEST(CaptureCommand, CtrlCStopsAndWritesASecondEndsAtOnceWithNoFile)
{
    for (int presses : {1, 2}) {
        SCOPED_TRACE(presses);
        PtyPeer peer;
        const PtyPeer::Responder instrument = Instrument(true);
        peer.startResponder([instrument, presses](const QByteArray &command) {
            if (presses == 2 && (uint8_t(command[0]) & 0x0F) == 0xE)
                return QByteArray(); // the stop is never answered
            return instrument(command);
        });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("stopped.vcd"));
        QProcess p;
        p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--capture"), path, QStringLiteral("--port"),
                                                peer.slavePath(), QStringLiteral("--quiet"), QStringLiteral("--count"),
                                                QStringLiteral("3")});
        ASSERT_TRUE(p.waitForStarted());
        ASSERT_TRUE(WaitUntil([&peer] { return peer.received().contains(char(0x04)); }, 30000)) << "Run was sent";
        for (int i = 0; i < presses; ++i) {
            ::kill(pid_t(p.processId()), SIGINT);
            QThread::msleep(5);
        }
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 130) << p.readAllStandardError().toStdString();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        if (presses == 1) {
            EXPECT_EQ(files, QStringList{QStringLiteral("stopped-1.vcd")}) << "the first of three, nothing more";
            const ImportResult file = ImportCaptureFile(dir.filePath(QStringLiteral("stopped-1.vcd")));
            ASSERT_TRUE(file.ok) << file.error.toStdString();
            EXPECT_EQ(file.capture.sampleCount(), 300) << "the length the stop reply gave";
            EXPECT_EQ(file.capture.levelsAt(0), 5); // the records the instrument sent: 0 → 5, 16 → 4, 37 → 5
            EXPECT_EQ(file.capture.levelsAt(20), 4);
            EXPECT_EQ(file.capture.levelsAt(299), 5);
        } else {
            EXPECT_TRUE(files.isEmpty()) << files.join(QLatin1Char(' ')).toStdString();
        }
    }
}

TEST(CaptureCommand, EveryBadOptionGivesOneLineStatusTwoAndWritesNothing)
{
    PtyPeer peer;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("x.sr"));
    const char *bad[] = {
        "--capture x.txt", "--rate 3MHz", "--rate 20", "--mode analog --rate 20MHz", "--mode fast",
        "--samples 0", "--samples 32768", "--mode analog --samples 16384", "--time 0s", "--time 2s", "--time 5",
        "--samples 10 --time 1ms", "--trigger rise:CH5", "--trigger rise", "--trigger pattern:10x1",
        "--trigger free", "--mode analog --trigger rise:CH1", "--mode analog --level 6", "--level 1",
        "--mode analog --trigger free --level 1", "--count 0", "--wait -1", "--wait soon", "--simulate",
        "--bogus", "--decode nosuchdecoder:x=CH1", "--decode uart:rx=CH9", "--decode-format csv", "extra",
        "--decode-timeout 5", "--decode uart:rx=CH1 --decode-timeout soon",
        "--decode uart:rx=CH1 --decode-max-annotations -1"};
    for (const char *args : bad) {
        SCOPED_TRACE(args);
        QStringList a = Args(args);
        if (!a.contains(QStringLiteral("--capture")))
            a = QStringList{QStringLiteral("--capture"), out} + a;
        a << QStringLiteral("--port") << peer.slavePath();
        const Outcome r = Program(a);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("logic-analyzer: ")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(peer.read(1, 50).isEmpty()) << "nothing reached the instrument";
}

TEST(CaptureOptions, ValuesAreReadAsTheWindowShowsThem)
{
    int index = -1;
    QString why;
    for (const char *r : {"20MHz", "20mhz", "20 MHz", "20000kHz"}) {
        EXPECT_TRUE(ParseRateValue(QLatin1String(r), false, &index, &why)) << r;
        EXPECT_EQ(index, 0) << r;
    }
    EXPECT_TRUE(ParseRateValue(QStringLiteral("0.5MHz"), false, &index, &why));
    EXPECT_EQ(index, 5);
    EXPECT_TRUE(ParseRateValue(QStringLiteral("100Hz"), true, &index, &why));
    EXPECT_EQ(index, 7);
    EXPECT_FALSE(ParseRateValue(QStringLiteral("100Hz"), false, &index, &why));
    EXPECT_TRUE(why.contains(QLatin1String("Analog"))) << why.toStdString();

    InstrumentSetup s;
    int64_t ps = 0;
    int32_t periods = 0;
    auto periodsOf = [&](const char *t) {
        return ParseTimeValue(QLatin1String(t), &ps, &why) && PeriodsForTime(s, ps, &periods, &why) ? periods : -1;
    };
    EXPECT_EQ(periodsOf("1.5ms"), 30000);
    EXPECT_EQ(periodsOf("1.638349ms"), 32766); // 32766.98 periods: the whole ones
    EXPECT_EQ(periodsOf("1.63835ms"), 32767);
    EXPECT_EQ(periodsOf("1.6384ms"), -1);
    EXPECT_EQ(periodsOf("1ns"), 1); // at least one
    s.analog = true, s.rateIndex = 7;
    EXPECT_EQ(periodsOf("2s"), 200);
    EXPECT_EQ(periodsOf("200000us"), 20);

    int scroll = -1;
    EXPECT_TRUE(ParseLevelValue(QStringLiteral("2.51V"), &scroll, &why));
    EXPECT_EQ(scroll, 127); // the window's start: 128 counts, "2.51V"
    EXPECT_TRUE(ParseLevelValue(QStringLiteral("2.5"), &scroll, &why));
    EXPECT_EQ(scroll, 127); // 127.5 counts: the even one
    EXPECT_TRUE(ParseLevelValue(QStringLiteral("5V"), &scroll, &why));
    EXPECT_EQ(scroll, 0);
    EXPECT_TRUE(ParseLevelValue(QStringLiteral("20mV"), &scroll, &why));
    EXPECT_EQ(scroll, 254);

    EXPECT_EQ(CaptureOutputPath(QStringLiteral("a.b/x.sr"), 7, 200), QStringLiteral("a.b/x-007.sr"));
    EXPECT_EQ(CaptureOutputPath(QStringLiteral("x.SR"), 3, 5), QStringLiteral("x-3.SR"));
    EXPECT_EQ(CaptureOutputPath(QStringLiteral("x.sr"), 1, 0), QStringLiteral("x.sr"));
}

TEST(CaptureReplies, AStopThatMeetsAFinishedCaptureIsToldApart)
{
    ReplyReader r;
    r.expectStopReply();
    r.feed(Bytes({0x06, 0x15}));
    EXPECT_TRUE(r.refused());
    EXPECT_TRUE(r.ackDuringStop()) << "the capture had ended: its data are complete";
    r.expectStopReply();
    r.feed(Bytes({0x15, 0xEF}));
    EXPECT_FALSE(r.ackDuringStop());
    EXPECT_TRUE(r.idle()) << "the byte after a refusal is a range report";
    EXPECT_EQ(r.rangeIndex(), 0);
    r.expectStream(false);
    r.feed(Bytes({0x7F, 0x02, 0x00, 0x00, 0x05, 0x00, 0x80, 0x80, 0x80, 0xBF}));
    ASSERT_EQ(r.records().size(), 2u) << "0x80 ends the stream only where a record begins";
    EXPECT_EQ(r.records()[1].time, 0x80);
    EXPECT_EQ(r.records()[1].levels, 0x80);
    EXPECT_EQ(r.rangeIndex(), 2);
}
