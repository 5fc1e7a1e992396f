// The exports judged by the tools of the field: sigrok-cli reads every
// .sr, .csv and .vcd with the capture's rate, channels and samples (compared
// one by one in the session sigrok writes of what it read), and its
// UART, SPI and I2C decoders recover the bytes the simulated instrument
// sends; GTKWave's vcd2fst takes every VCD (read back through fst2vcd).
// Files that sigrok itself writes are imported. A test whose tool is not
// installed is skipped (scripts/install-deps.sh installs them).
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "export/capture_file_io.h"
#include "export/capture_formats.h"
#include "export/vcd_export.h"
#include "export/zip_archive.h"
#include "support/simulator_capture.h"
#include "support/import_input.h"

namespace {

using Mode = Capture::Mode;

#define REQUIRE_TOOL(name)                                                                                             \
    if (QStandardPaths::findExecutable(QStringLiteral(name)).isEmpty())                                                \
    GTEST_SKIP() << name " is not installed"

// Runs a tool; its standard output, or an empty array with a failure when it
// does not end well.
QByteArray RunTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    const bool ended = p.waitForFinished(120000);
    const QByteArray out = p.readAllStandardOutput();
    EXPECT_TRUE(ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        << program.toStdString() << " " << args.join(QLatin1Char(' ')).toStdString() << ": "
        << p.readAllStandardError().toStdString();
    return out;
}

Capture SimCapture(Mode mode, int rate, int32_t count, int range = 1)
{
    return SimulatorCapture(mode, rate, count, range);
}

Capture RandomCapture(Mode mode, int rate, int32_t count, uint32_t seed, int range = 1)
{
    std::mt19937 rng(seed);
    std::vector<CaptureRecord> records;
    for (int32_t n = 0; n < count; ++n)
        records.push_back({n, uint8_t(rng()), uint8_t(rng())});
    return Capture(mode, rate, count, std::move(records), {}, range);
}

QString Write(const QTemporaryDir &dir, const Capture &c, const char *name)
{
    const QString path = dir.filePath(QLatin1String(name));
    QString error;
    EXPECT_TRUE(ExportCaptureFile(c, path, &error)) << error.toStdString();
    return path;
}

// sigrok-cli's input options for an export of this program.
QStringList InputOptions(const Capture &c, const QString &path)
{
    if (path.endsWith(QLatin1String(".csv")))
        return {QStringLiteral("-I"), c.isAnalog() ? QStringLiteral("csv:column_formats=t,8l,a")
                                                   : QStringLiteral("csv:column_formats=t,8l")};
    if (path.endsWith(QLatin1String(".vcd"))) {
        // sigrok reads a VCD at one sample per time unit; this brings it back
        // to one sample per sample period.
        const int64_t factor = c.samplePeriodPs() / VcdTimescaleFor(c.samplePeriodPs()).ps;
        return {QStringLiteral("-I"), QStringLiteral("vcd:downsample=%1").arg(factor)};
    }
    return {};
}

QByteArray Sigrok(const Capture &c, const QString &path, const QStringList &more)
{
    return RunTool(QStringLiteral("sigrok-cli"), QStringList{QStringLiteral("-i"), path} + InputOptions(c, path) + more);
}

// The value after "key: " in sigrok-cli's --show output, -1 when absent.
long long ShowValue(const QByteArray &show, const char *key)
{
    for (const QByteArray &line : show.split('\n')) {
        if (line.startsWith(QByteArray(key) + ": "))
            return line.mid(qsizetype(strlen(key)) + 2).trimmed().toLongLong();
    }
    return -1;
}

const char *const kFormats[] = {"sr", "csv", "vcd"};

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<std::pair<const char *, Capture>> Captures()
{
    return {
        {"logic 20MHz random, the longest capture", RandomCapture(Mode::Logic, 0, 32768, 7)},
        {"logic 10MHz simulator", SimCapture(Mode::Logic, 1, 32767)},
        {"logic 100kHz simulator", SimCapture(Mode::Logic, 7, 5000)},
        {"analog 20kHz simulator x10, the longest capture", SimCapture(Mode::Analog, 0, 16384, 4)},
        {"analog 100Hz random x2", RandomCapture(Mode::Analog, 7, 300, 8, 2)},
    };
}

} // namespace

TEST(ExportTools, SigrokReadsEveryExportWithItsRateChannelsAndSamples)
{
    REQUIRE_TOOL("sigrok-cli");
    QTemporaryDir dir;
    for (const auto &[name, c] : Captures()) {
        for (const char *ext : kFormats) {
            SCOPED_TRACE(std::string(name) + " as ." + ext);
            const QString path = Write(dir, c, (std::string("capture.") + ext).c_str());
            const QByteArray show = Sigrok(c, path, {QStringLiteral("--show")});
            EXPECT_EQ(ShowValue(show, "Samplerate"), (long long)c.sampleRateHz());
            // sigrok's VCD reader leaves real variables out.
            const bool analogRead = c.isAnalog() && QLatin1String(ext) != QLatin1String("vcd");
            EXPECT_EQ(ShowValue(show, "Channels"), analogRead ? 9 : 8);
            EXPECT_EQ(ShowValue(show, "Logic sample count"), c.sampleCount());
            if (analogRead) {
                EXPECT_EQ(ShowValue(show, "Analog sample count"), c.sampleCount());
            }

            // Sample by sample: what sigrok read, as its own session writer
            // stores it. (Its text outputs mix analog lines into the logic
            // bytes, and -O analog ends with a glib assertion in this version.)
            const QString resaved = dir.filePath(QStringLiteral("resaved.sr"));
            QFile::remove(resaved);
            Sigrok(c, path, {QStringLiteral("-o"), resaved});
            const QByteArray archive = ReadAll(resaved);
            const ZipArchiveReader zip(archive);
            QByteArray levels, floats;
            bool more = false;
            QString error;
            EXPECT_TRUE(zip.read("logic-1-1", 1 << 20, &levels, &more, &error)) << error.toStdString();
            const std::vector<uint8_t> expected = c.expandLogic();
            EXPECT_EQ(levels, QByteArray(reinterpret_cast<const char *>(expected.data()), qsizetype(expected.size())));
            if (analogRead) {
                ASSERT_TRUE(zip.read("analog-1-9-1", 1 << 20, &floats, &more, &error)) << error.toStdString();
                ASSERT_EQ(floats.size(), 4 * c.sampleCount());
                for (int32_t n = 0; n < c.sampleCount(); ++n) {
                    float v;
                    std::memcpy(&v, floats.constData() + 4 * n, 4); // little-endian, as this machine
                    ASSERT_NEAR(v, c.analogVoltsAt(n), 1e-4) << "sample " << n;
                }
            }
        }
    }
}

TEST(ExportTools, SigrokDecodersRecoverTheBytesOfTheSimulatedBuses)
{
    REQUIRE_TOOL("sigrok-cli");
    QTemporaryDir dir;
    // 10 MHz, 3.3 ms: the first UART line, 17 SPI transfers, 3 I2C transfers.
    const Capture c = SimCapture(Mode::Logic, 1, 32767);
    const struct {
        const char *decoder;
        const char *annotations;
        const char *expected; // the first annotations, joined by spaces
    } buses[] = {
        {"uart:rx=CH1:baudrate=115200", "uart=rx-data", "6C 61 2D 73 69 6D 20 23 30 30 30 30 20 48 65 6C 6C 6F 21 0D 0A"},
        {"spi:clk=CH2:mosi=CH3:cs=CH4", "spi=mosi-data", "3A 00 21 3A 01 26 3A 02 2B"},
        {"i2c:scl=CH5:sda=CH6", "i2c=address-write:data-write",
         "Address write: 50 Data write: 00 Data write: 40 Address write: 50 Data write: 03 Data write: 41"},
    };
    for (const char *ext : kFormats) {
        const QString path = Write(dir, c, (std::string("buses.") + ext).c_str());
        for (const auto &bus : buses) {
            SCOPED_TRACE(std::string(bus.decoder) + " on ." + ext);
            const QByteArray out = Sigrok(c, path,
                                          {QStringLiteral("-P"), QLatin1String(bus.decoder), QStringLiteral("-A"),
                                           QLatin1String(bus.annotations)});
            QStringList seen;
            for (const QByteArray &line : out.split('\n')) {
                const qsizetype colon = line.indexOf(": ");
                const QString text = QString::fromUtf8(line.mid(colon + 2));
                // The i2c rows also hold the bare "Write" of the address.
                if (colon >= 0 && text != QLatin1String("Write"))
                    seen << text;
            }
            EXPECT_EQ(seen.join(QLatin1Char(' ')).left(int(strlen(bus.expected))), QLatin1String(bus.expected))
                << out.left(400).toStdString();
        }
    }
}

TEST(ExportTools, Vcd2fstTakesEveryVcdAsWritten)
{
    REQUIRE_TOOL("vcd2fst");
    REQUIRE_TOOL("fst2vcd");
    QTemporaryDir dir;
    for (const auto &[name, c] : Captures()) {
        SCOPED_TRACE(name);
        const QString vcd = Write(dir, c, "wave.vcd");
        const QString fst = dir.filePath(QStringLiteral("wave.fst"));
        RunTool(QStringLiteral("vcd2fst"), {vcd, fst});
        // vcd2fst reports nothing through its exit code, so its result is
        // read back and compared with the capture, period by period.
        const ImportResult back = ImportCaptureBytes(CaptureFormat::Vcd, RunTool(QStringLiteral("fst2vcd"), {fst}));
        ASSERT_TRUE(back.ok) << back.error.toStdString();
        const Capture &b = back.capture;
        ASSERT_EQ(b.mode(), c.mode());
        // Without this program's notes the rate may be any at which every change still falls on a period.
        EXPECT_EQ(b.durationPs(), c.durationPs());
        for (int32_t n = 0; n < c.sampleCount(); ++n) {
            const int32_t m = int32_t(n * c.samplePeriodPs() / b.samplePeriodPs());
            ASSERT_EQ(b.levelsAt(m), c.levelsAt(n)) << "sample " << n;
            if (c.isAnalog()) {
                ASSERT_NEAR(b.analogVoltsAt(m), c.analogVoltsAt(n), 1e-5) << "sample " << n;
            }
        }
    }
}

TEST(ExportTools, FilesSigrokWritesAreImported)
{
    REQUIRE_TOOL("sigrok-cli");
    QTemporaryDir dir;
    const Capture logic = SimCapture(Mode::Logic, 1, 20000);
    const Capture analog = SimCapture(Mode::Analog, 1, 8000, 4);
    const QString vcd = Write(dir, logic, "logic.vcd");
    const QString csv = Write(dir, analog, "analog.csv");
    const QString theirSr = dir.filePath(QStringLiteral("theirs.sr"));
    const QString theirAnalogSr = dir.filePath(QStringLiteral("theirs-analog.sr"));
    RunTool(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), vcd, QStringLiteral("-o"), theirSr});
    RunTool(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), csv, QStringLiteral("-I"),
                                       QStringLiteral("csv:column_formats=t,8l,a"), QStringLiteral("-o"), theirAnalogSr});
    const QByteArray theirCsv = RunTool(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), theirSr, QStringLiteral("-O"),
                                                                   QStringLiteral("csv:time=true")});
    const QByteArray theirVcd = RunTool(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), theirSr, QStringLiteral("-O"),
                                                                   QStringLiteral("vcd")});
    const struct {
        const char *name;
        ImportResult result;
        const Capture &expected;
    } cases[] = {
        {"sigrok session", ImportCaptureFile(theirSr), logic},
        {"sigrok session with analog", ImportCaptureFile(theirAnalogSr), analog},
        {"sigrok csv with time", ImportCaptureBytes(CaptureFormat::Csv, theirCsv), logic},
        {"sigrok vcd", ImportCaptureBytes(CaptureFormat::Vcd, theirVcd), logic},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.result.ok) << c.result.error.toStdString();
        EXPECT_TRUE(c.result.warnings.isEmpty()) << c.result.warnings.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(hostile::CaptureDifference(hostile::ImportNormalForm(c.expected), c.result.capture), "");
    }
}
