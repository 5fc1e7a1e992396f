// Protocol decoding (src/decode): the catalogue, the stack syntax, decoding
// the simulator's signals, agreement with sigrok-cli on the same capture,
// stacked and failing decoders, and the worker engine superseding runs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include "decode/decode_command.h"
#include "decode/decode_engine.h"
#include "export/capture_file_io.h"
#include "support/simulator_capture.h"

namespace {

const QString kUart = QStringLiteral("uart:rx=CH1:baudrate=115200");
const QString kSpi = QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH4");
const QString kI2c = QStringLiteral("i2c:scl=CH5:sda=CH6");

// The simulator's scene at 20 MHz, one record per level change, as the
// instrument sends it.
Capture SimCapture(int32_t samples = 32767)
{
    return SimulatorCapture(Capture::Mode::Logic, 0, samples);
}

std::shared_ptr<const DecoderCatalog> Catalog()
{
    auto catalog = LoadDecoderCatalog();
    EXPECT_EQ(catalog->error(), QString());
    return catalog;
}

DecodeRequest Request(const QStringList &args)
{
    DecodeRequest request;
    QString error;
    EXPECT_TRUE(ParseDecodeRequest(args, *Catalog(), &request, &error)) << error.toStdString();
    return request;
}

struct CommandOutput {
    int status = 0;
    QStringList lines;
    QString err;
};

CommandOutput Command(const QStringList &args, const Capture &capture, const QString &format = {})
{
    QString out, err;
    QTextStream o(&out), e(&err);
    CommandOutput r;
    r.status = RunDecodeCommand(args, format, capture, o, e);
    r.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.err = err;
    return r;
}

// sigrok-cli's annotation lines for the same stacks on a session file.
QStringList SigrokCli(const QString &file, const QStringList &stacks, const QString &annotations = {},
                      const QStringList &extra = {})
{
    QStringList args = QStringList{QStringLiteral("-i"), file} + extra;
    for (const QString &s : stacks)
        args << QStringLiteral("-P") << s;
    if (!annotations.isEmpty())
        args << QStringLiteral("-A") << annotations;
    QProcess p;
    p.start(QStringLiteral("sigrok-cli"), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class WithSessionFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
            GTEST_SKIP() << "sigrok-cli is not installed (scripts/install-deps.sh)";
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("sim.sr"));
        QString error;
        ASSERT_TRUE(ExportCaptureFile(capture, path, &error)) << error.toStdString();
    }
    Capture capture = SimCapture();
    QTemporaryDir dir;
    QString path;
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

TEST(DecoderCatalog, DescribesTheInstalledDecoders)
{
    const auto catalog = Catalog();
    const DecoderInfo *uart = catalog->find(QStringLiteral("uart"));
    ASSERT_NE(uart, nullptr);
    EXPECT_EQ(uart->name, QStringLiteral("UART"));
    EXPECT_TRUE(uart->tags.contains(QStringLiteral("Embedded/industrial")));
    EXPECT_EQ(uart->inputs, QStringList{QStringLiteral("logic")});
    EXPECT_EQ(uart->outputs, QStringList{QStringLiteral("uart")});
    EXPECT_TRUE(uart->channels.empty());
    ASSERT_EQ(uart->optionalChannels.size(), 2u);
    EXPECT_EQ(uart->optionalChannels[0].id, QStringLiteral("rx"));
    const DecoderOptionInfo *baud = uart->option(QStringLiteral("baudrate"));
    ASSERT_NE(baud, nullptr);
    EXPECT_EQ(baud->type, DecoderOptionInfo::Type::Int);
    EXPECT_EQ(baud->defaultValue, QVariant(qint64(115200)));
    EXPECT_EQ(uart->option(QStringLiteral("stop_bits"))->type, DecoderOptionInfo::Type::Double);
    EXPECT_TRUE(uart->option(QStringLiteral("parity"))->values.contains(QVariant(QStringLiteral("none"))));
    const int rxData = uart->classIndex(QStringLiteral("rx-data"));
    ASSERT_GE(rxData, 0);
    EXPECT_EQ(uart->rows[size_t(uart->rowOfClass[size_t(rxData)])].id, QStringLiteral("rx-data"));

    const DecoderInfo *i2c = catalog->find(QStringLiteral("i2c"));
    ASSERT_NE(i2c, nullptr);
    EXPECT_TRUE(i2c->isRequiredChannel(QStringLiteral("scl")));
    EXPECT_TRUE(catalog->find(QStringLiteral("eeprom24xx"))->canStackOn(*i2c));
    EXPECT_FALSE(catalog->find(QStringLiteral("eeprom24xx"))->canStackOn(*uart));

    const std::map<QString, int> i2cMap{{QStringLiteral("scl"), 0}, {QStringLiteral("sda"), 1}};
    EXPECT_EQ(DefaultChannelMap(*i2c), i2cMap);
    // sigrok's data lines count from 0: d0 is CH1; clk finds no input left.
    const auto parallel = DefaultChannelMap(*catalog->find(QStringLiteral("parallel")));
    EXPECT_EQ(parallel.at(QStringLiteral("d0")), 0);
    EXPECT_EQ(parallel.at(QStringLiteral("d7")), 7);
    EXPECT_EQ(parallel.count(QStringLiteral("clk")), 0u);
}

TEST(DecodeRequest, ParsesSigrokSyntaxAndTypesTheOptions)
{
    const auto catalog = Catalog();
    DecoderStack stack;
    QString error;
    ASSERT_TRUE(ParseDecoderStack(QStringLiteral("i2c:scl=CH5:sda=6,eeprom24xx"), *catalog, &stack, &error))
        << error.toStdString();
    ASSERT_EQ(stack.decoders.size(), 2u);
    EXPECT_EQ(stack.decoders[0].channels.at(QStringLiteral("scl")), 4);
    EXPECT_EQ(stack.decoders[0].channels.at(QStringLiteral("sda")), 5);
    EXPECT_EQ(stack.decoders[1].id, QStringLiteral("eeprom24xx"));

    ASSERT_TRUE(ParseDecoderStack(QStringLiteral("uart:rx=ch1:baudrate=9600:stop_bits=1.5:parity=even"), *catalog,
                                  &stack, &error));
    const auto &options = stack.decoders[0].options;
    EXPECT_EQ(options.at(QStringLiteral("baudrate")), QVariant(qint64(9600)));
    EXPECT_EQ(options.at(QStringLiteral("stop_bits")), QVariant(1.5));
    EXPECT_EQ(options.at(QStringLiteral("parity")), QVariant(QStringLiteral("even")));
    EXPECT_EQ(FormatDecoderStack(stack), QStringLiteral("uart:rx=CH1:baudrate=9600:parity=even:stop_bits=1.5"));

    // Every refusal names the decoder and the problem.
    const std::pair<const char *, const char *> bad[] = {
        {"nosuch:x=1", "unknown decoder \"nosuch\""},
        {"uart:rx=CH9", "uart, channel rx: \"CH9\" is not one of CH1..CH8"},
        {"uart:rx=CH1:speed=1", "uart has no channel or option \"speed\""},
        {"uart:rx=CH1:baudrate=fast", "uart, option baudrate: \"fast\" is not a whole number"},
        {"uart:rx=CH1:parity=foo", "uart, option parity: \"foo\" is not one of the allowed values"},
        {"i2c:scl=CH5", "i2c needs channel sda mapped"},
        {"uart:rx=CH1,eeprom24xx", "eeprom24xx cannot be stacked on uart"},
        {"eeprom24xx", "eeprom24xx reads no channels"},
        {"i2c:scl=CH5:sda=CH6,eeprom24xx:scl=CH1", "eeprom24xx has no channel or option \"scl\""},
    };
    for (const auto &[text, message] : bad) {
        error.clear();
        EXPECT_FALSE(ParseDecoderStack(QString::fromLatin1(text), *catalog, &stack, &error)) << text;
        EXPECT_TRUE(error.contains(QString::fromLatin1(message))) << text << " -> " << error.toStdString();
    }
    // Built by hand (as the dialog does), checked the same way.
    DecoderStack handMade;
    handMade.decoders.push_back({QStringLiteral("i2c"), {{QStringLiteral("scl"), 4}}, {}});
    EXPECT_FALSE(ValidateDecoderStack(&handMade, *catalog, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("i2c needs channel sda")));
}

TEST(DecodeNow, DecodesTheBytesTheSimulatorSent)
{
    const auto result = DecodeNow(SimCapture(), Request({kUart, kSpi, kI2c}));
    ASSERT_TRUE(result->errors().isEmpty()) << result->errors().join('\n').toStdString();
    EXPECT_EQ(result->sampleRateHz, 20000000u);

    // 32767 samples are 1.638 ms: after 20 us of idle line, 18 whole frames
    // of 86.8 us each fit.
    EXPECT_EQ(result->instance(QStringLiteral("uart-1"))->byteStream(QStringLiteral("rx-data")),
              QByteArray("la-sim #0000 Hello"));

    // A three-byte transfer every 200 us (nine fit): 0x3A, n, n * 5 + 0x21.
    QByteArray spi;
    for (int n = 0; n < 9; ++n)
        spi += Bytes({0x3A, n, n * 5 + 0x21});
    EXPECT_EQ(result->instance(QStringLiteral("spi-1"))->byteStream(QStringLiteral("mosi-data")), spi);

    // One write every 1 ms to 0x50 (0xA0 on the wire): n * 3, 0x40 + n.
    const DecodeInstanceResult *i2c = result->instance(QStringLiteral("i2c-1"));
    EXPECT_EQ(i2c->byteStream(QStringLiteral("address-write")), Bytes({0x50, 0x50}));
    EXPECT_EQ(i2c->byteStream(QStringLiteral("data-write")), Bytes({0x00, 0x40, 0x03, 0x41}));
}

TEST_F(WithSessionFile, AnnotationsEqualSigrokCli)
{
    for (const QString &stack : {kUart, kSpi, kI2c}) {
        const CommandOutput ours = Command({stack}, capture);
        EXPECT_EQ(ours.status, 0) << ours.err.toStdString();
        const QStringList theirs = SigrokCli(path, {stack});
        EXPECT_GT(theirs.size(), 50) << stack.toStdString();
        EXPECT_EQ(ours.lines, theirs) << stack.toStdString();
    }

    // Several stacks at once, a decoder twice: the same instance names and
    // annotations (sigrok-cli interleaves the stacks in chunks of its own).
    const QStringList four{kUart, kSpi, kI2c, QStringLiteral("uart:tx=CH1:baudrate=115200")};
    QStringList ours4 = Command(four, capture).lines;
    QStringList theirs4 = SigrokCli(path, four);
    EXPECT_TRUE(ours4.contains(QStringLiteral("uart-2: 6C")));
    ours4.sort();
    theirs4.sort();
    EXPECT_EQ(ours4, theirs4);

    // One class picked out of the result, as `-A uart=rx-data` picks it.
    const auto result = DecodeNow(capture, Request({kUart}));
    const DecodeInstanceResult *uart = result->instance(QStringLiteral("uart-1"));
    const int rxData = uart->decoder->classIndex(QStringLiteral("rx-data"));
    QStringList ours;
    for (const DecodeAnnotation *a : uart->inEmissionOrder()) {
        if (a->annotationClass == rxData)
            ours << QStringLiteral("uart-1: ") + a->texts.first();
    }
    EXPECT_EQ(ours, SigrokCli(path, {kUart}, QStringLiteral("uart=rx-data")));

    // The CSV carries the same annotations with their samples and rows.
    const CommandOutput csv = Command({kUart}, capture, QStringLiteral("csv"));
    EXPECT_EQ(csv.status, 0);
    ASSERT_FALSE(csv.lines.isEmpty());
    EXPECT_EQ(csv.lines.first(), QStringLiteral("start,end,decoder,row,text"));
    QStringList withSamples;
    QSet<QString> rows;
    for (const QString &line : csv.lines.mid(1)) {
        const QStringList f = line.split(QLatin1Char(','));
        ASSERT_EQ(f.size(), 5) << line.toStdString();
        withSamples << QStringLiteral("%1-%2 %3: %4").arg(f[0], f[1], f[2], f[4]);
        rows << f[3];
    }
    EXPECT_EQ(withSamples, SigrokCli(path, {kUart}, {}, {QStringLiteral("--protocol-decoder-samplenum")}));
    EXPECT_TRUE(rows.contains(QStringLiteral("rx-data")) && rows.contains(QStringLiteral("rx-data-bits")));
}

TEST_F(WithSessionFile, StackedDecoderEqualsSigrokCli)
{
    const QString stack = kI2c + QStringLiteral(",eeprom24xx");
    const CommandOutput ours = Command({stack}, capture);
    EXPECT_EQ(ours.status, 0) << ours.err.toStdString();
    EXPECT_TRUE(ours.lines.contains(QStringLiteral("eeprom24xx-1: Byte write (addr=00, 1 byte): 40")));
    EXPECT_EQ(ours.lines, SigrokCli(path, {stack}));
}

TEST(DecodeNow, KeepsADecodersExceptionAndGoesOn)
{
    const Capture capture = SimCapture();
    const auto plain = DecodeNow(capture, Request({kSpi, kI2c}));
    // nrf24l01 raises in its decode() without a MISO line; a zero baud rate
    // makes the UART divide by zero when it learns the sample rate.
    const auto result = DecodeNow(capture, Request({kSpi + QStringLiteral(",nrf24l01"),
                                                 QStringLiteral("uart:rx=CH1:baudrate=0"), kI2c}));
    EXPECT_TRUE(result->error.isEmpty());
    const DecodeInstanceResult *nrf = result->instance(QStringLiteral("nrf24l01-1"));
    EXPECT_TRUE(nrf->error.contains(QStringLiteral("Both MISO and MOSI pins required"))) << nrf->error.toStdString();
    EXPECT_TRUE(nrf->errorDetails.contains(QStringLiteral("Traceback")));
    EXPECT_TRUE(result->instance(QStringLiteral("uart-1"))->error.contains(QStringLiteral("ZeroDivisionError")))
        << result->instance(QStringLiteral("uart-1"))->errorDetails.toStdString();
    // The others decode as they do alone.
    for (const char *name : {"spi-1", "i2c-1"}) {
        const DecodeInstanceResult *instance = result->instance(QString::fromLatin1(name));
        EXPECT_TRUE(instance->error.isEmpty()) << name << ": " << instance->error.toStdString();
        EXPECT_EQ(instance->annotationCount(), plain->instance(QString::fromLatin1(name))->annotationCount()) << name;
    }

    const CommandOutput command = Command({kSpi + QStringLiteral(",nrf24l01")}, capture);
    EXPECT_EQ(command.status, 1);
    EXPECT_TRUE(command.err.contains(QStringLiteral("nrf24l01-1: ChannelError"))) << command.err.toStdString();
}

TEST(DecodeCommand, RefusesBadRequestsWithAMessage)
{
    const Capture capture = SimCapture(2000);
    const std::pair<QString, QString> bad[] = {
        {QStringLiteral("nosuch:rx=CH1"), QStringLiteral("unknown decoder \"nosuch\"")},
        {QStringLiteral("uart:tx=CH1:rx=CH0"), QStringLiteral("uart, channel rx")},
        {QStringLiteral("spi:clk=CH2:wordsize=big"), QStringLiteral("spi, option wordsize")},
    };
    for (const auto &[arg, message] : bad) {
        const CommandOutput r = Command({arg}, capture);
        EXPECT_EQ(r.status, 2) << arg.toStdString();
        EXPECT_TRUE(r.lines.isEmpty());
        EXPECT_TRUE(r.err.contains(message)) << r.err.toStdString();
    }
    EXPECT_EQ(Command({kUart}, capture, QStringLiteral("xml")).status, 2);
    EXPECT_EQ(Command({}, capture).status, 2);
    EXPECT_EQ(Command({kUart}, Capture()).status, 1);
}

TEST(DecodeResult, OverlapQueryMatchesAFullScan)
{
    const auto result = DecodeNow(SimCapture(), Request({kUart, kI2c}));
    QRandomGenerator random(7);
    int checked = 0;
    for (const DecodeInstanceResult &instance : result->instances) {
        for (const DecodeRow &row : instance.rows) {
            for (int i = 0; i < 200; ++i) {
                const int64_t a = random.bounded(-100, 33000);
                const int64_t b = a + 1 + random.bounded(0, i % 2 ? 200 : 9000);
                std::vector<const DecodeAnnotation *> scan;
                for (const DecodeAnnotation &x : row.annotations()) {
                    if (x.start < b && std::max(x.end, x.start + 1) > a)
                        scan.push_back(&x);
                }
                ASSERT_EQ(row.overlapping(a, b), scan) << row.id.toStdString() << " " << a << ".." << b;
                checked += int(scan.size());
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(DecodeEngine, DeliversOnlyTheLatestRun)
{
    const bool loadedBefore = IsDecoderCatalogLoaded();
    DecodeEngine engine;
    EXPECT_EQ(IsDecoderCatalogLoaded(), loadedBefore); // nothing loads until asked
    std::vector<std::shared_ptr<const DecodeResult>> delivered;
    QObject::connect(&engine, &DecodeEngine::finished,
                     [&](std::shared_ptr<const DecodeResult> r) { delivered.push_back(r); });
    std::shared_ptr<const DecoderCatalog> catalog;
    QObject::connect(&engine, &DecodeEngine::catalogReady,
                     [&](std::shared_ptr<const DecoderCatalog> c) { catalog = c; });

    const auto waitFor = [](const std::function<bool()> &done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    };
    engine.requestCatalog();
    ASSERT_TRUE(waitFor([&] { return catalog != nullptr; }, 30000));
    EXPECT_NE(catalog->find(QStringLiteral("uart")), nullptr);

    // The capture replaced again and again while the decoder runs.
    const Capture full = SimCapture();
    const Capture shorter = SimCapture(12000);
    const DecodeRequest request = Request({kUart, kSpi, kI2c});
    uint64_t last = 0;
    for (int i = 0; i < 25; ++i)
        last = engine.start(i % 2 ? full : shorter, request);
    ASSERT_TRUE(waitFor([&] { return !delivered.empty(); }, 60000));
    waitFor([] { return false; }, 300); // anything stale would arrive meanwhile
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0]->generation, last);
    EXPECT_EQ(delivered[0]->sampleCount, 12000); // the last start had the shorter capture
    EXPECT_EQ(delivered[0]->instance(QStringLiteral("uart-1"))->annotationCount(),
              DecodeNow(shorter, request)->instance(QStringLiteral("uart-1"))->annotationCount());

    // A cancelled run delivers nothing; an engine destroyed mid-run stops.
    engine.start(full, request);
    engine.cancel();
    waitFor([] { return false; }, 500);
    EXPECT_EQ(delivered.size(), 1u);
    {
        DecodeEngine shortLived;
        shortLived.start(full, request);
    }

    // An invalid request comes back as a result with its error.
    DecodeRequest invalid;
    invalid.stacks.push_back({{{QStringLiteral("i2c"), {}, {}}}});
    last = engine.start(full, invalid);
    ASSERT_TRUE(waitFor([&] { return delivered.size() == 2; }, 30000));
    EXPECT_EQ(delivered[1]->generation, last);
    EXPECT_TRUE(delivered[1]->error.contains(QStringLiteral("i2c needs channels scl, sda")));
}

TEST(DecodeNow, EveryInstalledDecoderRunsToTheEnd)
{
    // Every decoder that reads channels, on the simulator's lines with its
    // default mapping: whatever it makes of them (several raise), the run
    // ends and says what happened.
    const auto catalog = Catalog();
    const Capture capture = SimCapture();
    int decoded = 0;
    for (const DecoderInfo &d : catalog->decoders()) {
        if (!d.readsChannels())
            continue;
        DecodeRequest request;
        request.stacks.push_back({{{d.id, DefaultChannelMap(d), {}}}});
        const auto result = DecodeNow(capture, request);
        if (d.channels.size() > 8) {
            EXPECT_TRUE(result->error.contains(QStringLiteral("needs channels"))) << d.id.toStdString();
            continue;
        }
        ASSERT_EQ(result->instances.size(), 1u) << d.id.toStdString() << ": " << result->error.toStdString();
        decoded += result->instances[0].annotationCount() > 0;
    }
    EXPECT_GT(decoded, 30);
}
