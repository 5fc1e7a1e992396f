// Exports read back by the importers: every format gives back the capture it
// was made from; files of other tools that fit the instrument are adapted
// with a message; hostile files are refused with a message; conversion
// between files is all or nothing.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "export/capture_convert.h"
#include "export/capture_formats.h"
#include "export/log_export.h"
#include "export/zip_archive.h"
#include "support/simulator_capture.h"
#include "support/import_input.h"

namespace {

using Mode = Capture::Mode;

// Levels and analog counts from the simulated instrument's scene.
Capture SimCapture(Mode mode, int rate, int32_t count, int range = 1)
{
    return SimulatorCapture(mode, rate, count, range, NonDefaultTrigger());
}

// Random levels changing at random periods; Analog captures get a random
// count every period.
Capture RandomCapture(Mode mode, int rate, int32_t count, uint32_t seed, int range = 1)
{
    std::mt19937 rng(seed);
    std::vector<CaptureRecord> records;
    uint8_t levels = 0;
    for (int32_t n = 0; n < count; ++n) {
        if (rng() % 3 == 0)
            levels = uint8_t(rng());
        if (mode == Mode::Analog || n == 0 || rng() % 2 == 0)
            records.push_back({n, levels, uint8_t(rng())});
    }
    CaptureTrigger trigger;
    trigger.channel = 2;
    trigger.condition = 1;
    return Capture(mode, rate, count, std::move(records), trigger, range);
}

struct Case {
    const char *name;
    Capture capture;
};

std::vector<Case> Captures()
{
    return {
        {"logic 20MHz random full", RandomCapture(Mode::Logic, 0, 32767, 1)},
        {"logic 10MHz simulator", SimCapture(Mode::Logic, 1, 32767)},
        {"logic 100kHz simulator", SimCapture(Mode::Logic, 7, 20000)},
        {"logic 1MHz one sample", RandomCapture(Mode::Logic, 4, 1, 2)},
        {"logic 2MHz constant, measured past the last record", Capture(Mode::Logic, 3, 1000, {{0, 0x81, 0}})},
        {"analog 20kHz simulator x10", SimCapture(Mode::Analog, 0, 16383, 4)},
        {"analog 1kHz simulator x0.2", SimCapture(Mode::Analog, 4, 5000, 0)},
        {"analog 100Hz random x2", RandomCapture(Mode::Analog, 7, 300, 3, 2)},
    };
}

const std::pair<CaptureFormat, const char *> kFormats[] = {
    {CaptureFormat::Log, "log"}, {CaptureFormat::Vcd, "vcd"}, {CaptureFormat::Csv, "csv"}, {CaptureFormat::SigrokSession, "sr"}};

QByteArray Export(CaptureFormat format, const Capture &c)
{
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(ExportCaptureBytes(format, c, &bytes, &error)) << error.toStdString();
    return bytes;
}

QByteArray SessionWith(const QByteArray &metadata, const QByteArray &logic, const QByteArray &version = "2")
{
    QByteArray zip;
    QString error;
    EXPECT_TRUE(BuildZipArchive({{"version", version}, {"metadata", metadata}, {"logic-1-1", logic}}, &zip, &error));
    return zip;
}

// Files as Save writes them whose last record has the last time stamp the
// instrument delivers: 32767 in Logic mode, 16383 in Analog mode.
QByteArray LastStampLog(bool analog)
{
    if (!analog)
        return "13,10,5,0,1,127\r\n2\r\n0,54\r\n1000,18\r\n32767,255\r\n";
    QByteArray text = "2,3,0,1,4,100\r\n16383\r\n";
    for (int n = 0; n <= 16383; ++n)
        text += QByteArray::number(n) + ',' + QByteArray::number((n / 100) & 0xFF) + ','
            + QByteArray::number(n == 16383 ? 255 : n * 7 % 200) + "\r\n";
    return text;
}

const QByteArray kLogicMetadata = "[device 1]\ncapturefile=logic-1\ntotal probes=8\nsamplerate=20 MHz\nunitsize=1\n";

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(ExportRoundTrip, EveryFormatGivesBackTheCapture)
{
    for (const Case &c : Captures()) {
        for (const auto &[format, ext] : kFormats) {
            SCOPED_TRACE(std::string(c.name) + " as ." + ext);
            const ImportResult r = ImportCaptureBytes(format, Export(format, c.capture));
            ASSERT_TRUE(r.ok) << r.error.toStdString();
            EXPECT_TRUE(r.warnings.isEmpty()) << r.warnings.join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(hostile::CaptureDifference(hostile::ImportNormalForm(c.capture), r.capture), "");
            // The same promises the fuzz target checks.
            EXPECT_EQ(hostile::ImportedCaptureViolation(r.capture), "");
        }
    }
}

TEST(ExportRoundTrip, VcdWritesOnlyChangesOnTheLargestTimescaleThatDividesThePeriod)
{
    const Capture c(Mode::Logic, 0, 40, {{0, 0x00, 0}, {3, 0x01, 0}, {3, 0x03, 0}, {9, 0x02, 0}});
    const QByteArray vcd = Export(CaptureFormat::Vcd, c);
    EXPECT_TRUE(vcd.contains("$timescale 10 ns $end")); // 50 ns period
    // The change at period 3 (#15) sets CH1 and CH2, the one at 9 (#45) clears CH1; the end is #200.
    EXPECT_TRUE(vcd.contains("\n#15\n1!\n1\"\n#45\n0!\n#200\n")) << vcd.toStdString();
    EXPECT_EQ(vcd.count("\n#"), 4); // #0, two changes, the end

    const struct {
        Mode mode;
        int rate;
        const char *timescale;
    } scales[] = {{Mode::Logic, 3, "100 ns"}, {Mode::Logic, 4, "1 us"}, {Mode::Analog, 0, "10 us"},
                  {Mode::Analog, 7, "10 ms"}};
    for (const auto &s : scales) {
        const QByteArray text = Export(CaptureFormat::Vcd, Capture(s.mode, s.rate, 2, {{0, 1, 1}}));
        EXPECT_TRUE(text.contains(QByteArray("$timescale ") + s.timescale + " $end")) << s.timescale;
    }
}

TEST(ExportImport, OtherToolsFilesAreFittedToTheInstrument)
{
    const struct {
        const char *name;
        CaptureFormat format;
        QByteArray text;
        Mode mode;
        int rate;
        int32_t samples;
        const char *warning; // part of a warning, or "" for none
    } cases[] = {
        {"vcd timescale finer than the changes need", CaptureFormat::Vcd,
         "$timescale 1ns $end $var wire 1 a x $end $enddefinitions $end #0 0a #3000 1a #7000 0a #10000",
         Mode::Logic, 4, 10, ""},
        {"vcd with ten wires and a vector", CaptureFormat::Vcd,
         "$timescale 10 ns $end $scope module m $end $var reg 4 v bus $end $var wire 1 ! a $end $var wire 1 \" b $end "
         "$var wire 1 # c $end $var wire 1 $ d $end $var wire 1 % e $end $var wire 1 & f $end $var wire 1 ' g $end "
         "$var wire 1 ( h $end $var wire 1 ) i $end $var wire 1 * j $end $upscope $end $enddefinitions $end "
         "#0 b1010 v 1! 0\" x# 1* #10 1( #20",
         Mode::Logic, 1, 2, "first 8 are kept"},
        {"vcd longer than the instrument records", CaptureFormat::Vcd,
         "$timescale 1 us $end $var wire 1 ! a $end $enddefinitions $end #0 1! #400000 0! #500000", Mode::Logic, 7,
         32768, "Only the first 32768"},
        {"vcd with a real variable is Analog", CaptureFormat::Vcd,
         "$timescale 1 ms $end $var real 64 ! v $end $var wire 1 \" w $end $enddefinitions $end #0 r0.4 ! 1\" #20 r0.8 ! #30",
         Mode::Analog, 7, 3, ""},
        {"sigrok csv without time, rate in a comment", CaptureFormat::Csv,
         "; CSV generated by libsigrok\n; Samplerate: 100 kHz\nlogic,logic\n0,1\n1,1\n1,0\n", Mode::Logic, 7, 3, ""},
        {"csv rows that skip periods, sigrok time column in ns", CaptureFormat::Csv,
         "nanoseconds,CH1,CH2\n1000,0,1\n4000,1,1\n8000,0,0\n", Mode::Logic, 4, 8, ""},
        {"csv with analog volts", CaptureFormat::Csv, "time_s,a,analog_V\n0,1,0.4\n0.001,0,0.2\n", Mode::Analog, 4,
         2, ""},
        {"csv of 25 kHz logic on the 100 kHz periods", CaptureFormat::Csv, "t,CH1\n0,0\n0.00004,1\n0.00008,0\n",
         Mode::Logic, 7, 9, ""},
        {"sr with 16 probes", CaptureFormat::SigrokSession,
         SessionWith("[device 1]\ncapturefile=logic-1\ntotal probes=16\nsamplerate=1 MHz\nunitsize=2\n", "\x01\x02\x03\x04"),
         Mode::Logic, 4, 2, "first 8 are kept"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = ImportCaptureBytes(c.format, c.text);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.capture.mode(), c.mode);
        EXPECT_EQ(r.capture.rateIndex(), c.rate);
        EXPECT_EQ(r.capture.sampleCount(), c.samples);
        if (*c.warning)
            EXPECT_TRUE(r.warnings.join(QLatin1Char(' ')).contains(QLatin1String(c.warning))) << r.warnings.join(QLatin1Char(' ')).toStdString();
        else
            EXPECT_TRUE(r.warnings.isEmpty()) << r.warnings.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(hostile::ImportedCaptureViolation(r.capture), "");
    }
    // Levels of the first case: CH1 high from 3 us to 7 us at 1 MHz.
    const ImportResult r = ImportCaptureBytes(CaptureFormat::Vcd, cases[0].text);
    EXPECT_EQ(r.capture.level(0, 2), 0);
    EXPECT_EQ(r.capture.level(0, 3), 1);
    EXPECT_EQ(r.capture.level(0, 6), 1);
    EXPECT_EQ(r.capture.level(0, 7), 0);
}

TEST(ExportImport, HostileFilesAreRefusedWithAMessage)
{
    QByteArray bigSize = SessionWith(kLogicMetadata, "abc");
    const struct {
        const char *name;
        CaptureFormat format;
        QByteArray bytes;
        const char *message;
    } cases[] = {
        {"empty vcd", CaptureFormat::Vcd, "", "ends before $enddefinitions"},
        {"vcd cut in its header", CaptureFormat::Vcd, "$timescale 1 ns $end $var wire 1 ! a", "no $end"},
        {"vcd timescale 3 ns", CaptureFormat::Vcd, "$timescale 3 ns $end $enddefinitions $end", "timescale"},
        {"vcd time going back", CaptureFormat::Vcd, "$timescale 1 us $end $var wire 1 ! a $end $enddefinitions $end #5 1! #4 0!", "goes back"},
        {"vcd undeclared identifier", CaptureFormat::Vcd, "$timescale 1 us $end $var wire 1 ! a $end $enddefinitions $end #0 1?", "no declared"},
        {"vcd change between 50 ns periods", CaptureFormat::Vcd, "$timescale 1 ns $end $var wire 1 ! a $end $enddefinitions $end #0 0! #25 1!", "falls between"},
        {"vcd huge vector size", CaptureFormat::Vcd, "$timescale 1 ns $end $var wire 99999999999 ! a $end", "valid size"},
        {"vcd real that is not a number", CaptureFormat::Vcd, "$timescale 1 ms $end $var real 64 ! v $end $enddefinitions $end #0 rnan !", "not a number"},
        {"csv with letters", CaptureFormat::Csv, "time_s,CH1\n0,1\n0.001,high\n", "not a number"},
        {"csv rows of different length", CaptureFormat::Csv, "; Samplerate: 1 MHz\n0,1\n1\n", "values where"},
        {"csv without any rate", CaptureFormat::Csv, "CH1,CH2\n0,1\n", "neither a time column nor a sample rate"},
        {"csv times between 50 ns periods", CaptureFormat::Csv, "t,CH1\n0,0\n0.00000003,1\n", "does not fall on a sample period"},
        {"sr at 25 kHz", CaptureFormat::SigrokSession, SessionWith("[device 1]\ntotal probes=8\nunitsize=1\nsamplerate=25 kHz\n", "a"), "not one of the instrument's Logic rates"},
        {"csv logic at an Analog rate", CaptureFormat::Csv, "; Samplerate: 20 kHz\n0,1\n", "Analog rates are for data with"},
        {"csv analog 100 V", CaptureFormat::Csv, "; Samplerate: 1 kHz\nanalog_V\n100\n", "outside the instrument's input"},
        {"sr that is no zip", CaptureFormat::SigrokSession, "PK\x03\x04 not really", "not a zip archive"},
        {"sr cut in half", CaptureFormat::SigrokSession, bigSize.left(bigSize.size() / 2), "not a zip archive"},
        {"sr of version 3", CaptureFormat::SigrokSession, SessionWith(kLogicMetadata, "abc", "3"), "version"},
        {"sr without sample rate", CaptureFormat::SigrokSession, SessionWith("[device 1]\ntotal probes=8\nunitsize=1\n", "a"), "no sample rate"},
        {"sr with unit size 0", CaptureFormat::SigrokSession, SessionWith("[device 1]\ntotal probes=8\nunitsize=0\nsamplerate=1 MHz\n", "a"), "unit size"},
        {"sr with a huge probe count", CaptureFormat::SigrokSession, SessionWith("[device 1]\ntotal probes=99999999999\n", "a"), "total probes"},
        {"sr without its logic entry", CaptureFormat::SigrokSession, SessionWith("[device 1]\ncapturefile=other\ntotal probes=8\nsamplerate=1 MHz\nunitsize=1\n", "a"), "no entry \"other-1\""},
        {"log with a record count far too large", CaptureFormat::Log, "0,3,0,0,1,127\r\n99999999\r\n", "record index"},
        {"empty log", CaptureFormat::Log, "", "no records"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult r = ImportCaptureBytes(c.format, c.bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.message))) << r.error.toStdString();
    }
}

TEST(ExportImport, SessionEntriesAreReadOnlyAsFarAsACaptureReachesAndChecked)
{
    // 64 MiB of levels deflate to about 64 KiB; the importer reads 32769 bytes of them.
    const QByteArray huge(64 * 1024 * 1024, '\x01');
    const QByteArray session = SessionWith(kLogicMetadata, huge);
    ASSERT_LT(session.size(), 512 * 1024);
    const auto start = std::chrono::steady_clock::now();
    const ImportResult r = ImportCaptureBytes(CaptureFormat::SigrokSession, session);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.capture.sampleCount(), 32768);
    EXPECT_TRUE(r.warnings.join(QLatin1Char(' ')).contains(QLatin1String("Only the first 32768")));
    EXPECT_LT(seconds, 1.0);

    // Damage inside the deflated levels: libzip's checks catch it.
    QByteArray damaged = SessionWith(kLogicMetadata, QByteArray(1000, '\x05'));
    const qsizetype header = damaged.lastIndexOf("PK\x03\x04", damaged.indexOf("logic-1-1"));
    ASSERT_GE(header, 0);
    const auto word = [&](qsizetype at) { return uint8_t(damaged[at]) | uint8_t(damaged[at + 1]) << 8; };
    damaged[header + 30 + word(header + 26) + word(header + 28)] ^= char(0x5A);
    const ImportResult d = ImportCaptureBytes(CaptureFormat::SigrokSession, damaged);
    EXPECT_FALSE(d.ok);
    EXPECT_TRUE(d.error.contains(QLatin1String("\"logic-1-1\" is damaged"))) << d.error.toStdString();
}

TEST(ExportImport, CaptureLogTextCarriesTheSettingsAsSaveEncodesThem)
{
    CaptureTrigger t;
    t.kind = 1;
    t.condition = 2;
    t.channel = 3;
    t.pattern = 5;
    t.levelCount = 55;
    const Capture c(Mode::Analog, 6, 4, {{0, 1, 10}, {1, 2, 20}}, t, 3);
    // 8 * kind + rate, 4 * channel + condition, pattern, analog, range, 255 - level.
    EXPECT_TRUE(CaptureLogText(c).startsWith("14,14,5,1,3,200\r\n2\r\n0,1,10\r\n1,2,20\r\n3,2,20\r\n"))
        << CaptureLogText(c).toStdString();
}

TEST(ConvertCaptureFile, ConvertsBetweenEveryPairOfFormats)
{
    QTemporaryDir dir;
    const Capture original = SimCapture(Mode::Analog, 2, 3000, 2);
    const QString source = dir.filePath(QStringLiteral("source.log"));
    WriteFile(source, CaptureLogText(original));
    for (const auto &[from, fromExt] : kFormats) {
        const QString in = dir.filePath(QStringLiteral("in.") + QLatin1String(fromExt));
        QString error;
        ASSERT_TRUE(ConvertCaptureFile(source, in, &error)) << error.toStdString();
        for (const auto &[to, toExt] : kFormats) {
            SCOPED_TRACE(std::string(fromExt) + " -> " + toExt);
            const QString out = dir.filePath(QStringLiteral("out.") + QLatin1String(toExt));
            QStringList warnings;
            ASSERT_TRUE(ConvertCaptureFile(in, out, &error, &warnings)) << error.toStdString();
            EXPECT_TRUE(warnings.isEmpty());
            const ImportResult r = ImportCaptureBytes(to, ReadFile(out));
            ASSERT_TRUE(r.ok) << r.error.toStdString();
            EXPECT_EQ(hostile::CaptureDifference(hostile::ImportNormalForm(original), r.capture), "");
        }
    }
}

TEST(ConvertCaptureFile, ARecordAtTheLastTimeStampGoesThroughEveryFormatBothWays)
{
    QTemporaryDir dir;
    for (const bool analog : {false, true}) {
        const QByteArray original = LastStampLog(analog);
        const int32_t samples = analog ? 16384 : 32768;
        const QString source = dir.filePath(QStringLiteral("source.log"));
        WriteFile(source, original);
        for (const auto &[format, ext] : kFormats) {
            SCOPED_TRACE(std::string(analog ? "analog" : "logic") + " .log -> ." + ext);
            const QString there = dir.filePath(QStringLiteral("there.") + QLatin1String(ext));
            const QString again = dir.filePath(QStringLiteral("again.") + QLatin1String(ext));
            const QString back = dir.filePath(QStringLiteral("back.log"));
            QString error;
            QStringList warnings{QStringLiteral("not cleared")};
            ASSERT_TRUE(ConvertCaptureFile(source, there, &error, &warnings)) << error.toStdString();
            EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char(' ')).toStdString();
            const ImportResult r = ImportCaptureBytes(format, ReadFile(there));
            ASSERT_TRUE(r.ok) << r.error.toStdString();
            EXPECT_EQ(r.capture.sampleCount(), samples);
            EXPECT_EQ(r.capture.levelsAt(samples - 1), analog ? 163 : 255);
            EXPECT_EQ(r.capture.levelsAt(samples - 2), analog ? 163 : 18);
            EXPECT_EQ(r.capture.analogCountAt(samples - 1), analog ? 255 : 0);

            // The same format both ways, and back to the capture file.
            ASSERT_TRUE(ConvertCaptureFile(there, again, &error, &warnings)) << error.toStdString();
            EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(hostile::CaptureDifference(r.capture, ImportCaptureBytes(format, ReadFile(again)).capture), "");
            ASSERT_TRUE(ConvertCaptureFile(again, back, &error, &warnings)) << error.toStdString();
            EXPECT_EQ(ReadFile(back), original);
        }
    }
}

TEST(ConvertCaptureFile, AFailureNamesTheFileAndLeavesTheOutputAsItWas)
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.log"));
    const QString bad = dir.filePath(QStringLiteral("bad.vcd"));
    const QString existing = dir.filePath(QStringLiteral("existing.csv"));
    WriteFile(good, CaptureLogText(SimCapture(Mode::Logic, 0, 100)));
    WriteFile(bad, "$timescale 3 ns $end");
    WriteFile(existing, "keep me");
    QDir(dir.path()).mkdir(QStringLiteral("folder.csv"));
    const struct {
        QString in, out;
        QString named;
        const char *reason;
    } cases[] = {
        {bad, existing, bad, "timescale"},
        {dir.filePath(QStringLiteral("missing.log")), existing, QStringLiteral("missing.log"), "cannot be imported"},
        {good, dir.filePath(QStringLiteral("no/such/folder/x.csv")), QStringLiteral("x.csv"), "could not be written"},
        {good, dir.filePath(QStringLiteral("folder.csv")), QStringLiteral("folder.csv"), "it is a folder"},
        {good, dir.filePath(QStringLiteral("x.txt")), QStringLiteral("x.txt"), "extension is not .log, .vcd, .csv or .sr"},
        {dir.filePath(QStringLiteral("good.bin")), existing, QStringLiteral("good.bin"), "extension"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toStdString() + " -> " + c.out.toStdString());
        QString error;
        EXPECT_FALSE(ConvertCaptureFile(c.in, c.out, &error));
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(c.named)) && error.contains(QLatin1String(c.reason)))
            << error.toStdString();
        EXPECT_EQ(ReadFile(existing), "keep me");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3); // no temporary file left behind
}
