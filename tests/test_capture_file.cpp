#include "files/capture_file.h"

#include "app/sample_store.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SampleStore MakeStore(const std::vector<std::vector<int32_t>> &records, int fields)
{
    SampleStore store;
    store.create(fields, static_cast<int32_t>(records.size()) - 1);
    for (size_t n = 0; n < records.size(); ++n)
        for (int f = 0; f < fields; ++f)
            store.set(f, static_cast<int32_t>(n), records[n][static_cast<size_t>(f)]);
    return store;
}

// Reads `ops` ('B' byte field, 'L' long field) from `text` and renders the
// results as space-separated values, "x" for a failure.
std::string ReadFields(const QByteArray &text, const std::string &ops)
{
    QBuffer buf;
    buf.setData(text);
    buf.open(QIODevice::ReadOnly);
    CaptureFileReader r(buf);
    std::string out;
    for (char op : ops) {
        if (!out.empty())
            out += ' ';
        if (op == 'B') {
            auto v = r.ReadByteField();
            out += v ? std::to_string(*v) : "x";
        } else {
            auto v = r.ReadLongField();
            out += v ? std::to_string(*v) : "x";
        }
    }
    return out;
}

// Accepts `limit` bytes, then every write fails.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }
    qint64 accepted() const { return accepted_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        if (accepted_ >= limit_)
            return -1;
        const qint64 n = std::min(len, limit_ - accepted_);
        accepted_ += n;
        return n;
    }

private:
    qint64 limit_;
    qint64 accepted_ = 0;
};

const CaptureSettings kExampleSettings{13, 10, 5, 0, 1, 127};

} // namespace

TEST(CaptureFileWrite, WorkedExampleByteForByte)
{
    const SampleStore store = MakeStore({{0, 85}, {37, 170}, {102, 85}}, 2);
    const QByteArray expected = "13,10,5,0,1,127\r\n2\r\n0,85\r\n37,170\r\n102,85\r\n";

    EXPECT_EQ(CaptureFileText(kExampleSettings, 2, store, false), expected);

    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteCaptureFile(buf, kExampleSettings, 2, store, false));
    EXPECT_EQ(buf.data(), expected);
}

TEST(CaptureFileRead, WorkedExampleInLoadOrder)
{
    QBuffer buf;
    buf.setData("13,10,5,0,1,127\r\n2\r\n0,85\r\n37,170\r\n102,85\r\n");
    buf.open(QIODevice::ReadOnly);
    CaptureFileReader r(buf);

    std::vector<int> settings;
    for (int i = 0; i < 6; ++i) {
        auto v = r.ReadByteField();
        ASSERT_TRUE(v.has_value()) << "settings field " << i + 1;
        settings.push_back(*v);
    }
    EXPECT_EQ(settings, (std::vector<int>{13, 10, 5, 0, 1, 127}));
    auto last = r.ReadLongField();
    ASSERT_EQ(last, std::optional<int32_t>(2));
    std::vector<int32_t> values;
    for (int32_t n = 0; n <= *last; ++n)
        for (int f = 0; f < 2; ++f) {
            auto v = r.ReadLongField();
            ASSERT_TRUE(v.has_value());
            values.push_back(*v);
        }
    EXPECT_EQ(values, (std::vector<int32_t>{0, 85, 37, 170, 102, 85}));
    EXPECT_TRUE(r.atEnd());
}

TEST(CaptureFileWrite, EmptyCaptureIsTwoLines)
{
    SampleStore empty;
    EXPECT_EQ(CaptureFileText(kExampleSettings, -1, empty, false), "13,10,5,0,1,127\r\n-1\r\n");
    EXPECT_EQ(CaptureFileText(kExampleSettings, -1, empty, true), "13,10,5,0,1,127\r\n-1\r\n");
    // A store with records but LastSampleIndex -1 writes no record either.
    const SampleStore some = MakeStore({{1, 2}}, 2);
    EXPECT_EQ(CaptureFileText(kExampleSettings, -1, some, false), "13,10,5,0,1,127\r\n-1\r\n");
}

TEST(CaptureFileWrite, AnalogRecordsHaveThreeValues)
{
    const SampleStore store = MakeStore({{0, 255, 128}, {5, 0, 0}}, 3);
    EXPECT_EQ(CaptureFileText({3, 0, 0, 1, 4, 255}, 1, store, true),
              "3,0,0,1,4,255\r\n1\r\n0,255,128\r\n5,0,0\r\n");
    // The same store saved in logic mode drops field 2.
    EXPECT_EQ(CaptureFileText({3, 0, 0, 0, 4, 255}, 1, store, false),
              "3,0,0,0,4,255\r\n1\r\n0,255\r\n5,0\r\n");
}

TEST(CaptureFileWrite, NegativeAndExtremeValues)
{
    const SampleStore store = MakeStore({{-1, INT32_MIN, INT32_MAX}, {-32768, 10, -100}}, 3);
    EXPECT_EQ(CaptureFileText({-1, 0, 0, -32768, 32767, -5}, 1, store, true),
              "-1,0,0,-32768,32767,-5\r\n1\r\n-1,-2147483648,2147483647\r\n-32768,10,-100\r\n");
}

TEST(CaptureFileWrite, ValuesTheStoreDoesNotHoldAreZero)
{
    // Analog line from a logic store: field 2 is 0; records past the store's
    // bound are 0,0.
    const SampleStore store = MakeStore({{7, 9}}, 2);
    EXPECT_EQ(CaptureFileText({}, 2, store, true), "0,0,0,0,0,0\r\n2\r\n7,9,0\r\n0,0,0\r\n0,0,0\r\n");
    SampleStore empty;
    EXPECT_EQ(CaptureFileText({}, 0, empty, false), "0,0,0,0,0,0\r\n0\r\n0,0\r\n");
}

TEST(CaptureFileWrite, OnlyFileCharactersAndNoSpareRecords)
{
    SampleStore store;
    store.create(3, 99);
    auto *rng = QRandomGenerator::global();
    for (int32_t n = 0; n <= 99; ++n)
        for (int f = 0; f < 3; ++f)
            store.set(f, n, static_cast<int32_t>(rng->generate()));
    const QByteArray text = CaptureFileText(kExampleSettings, 49, store, true);
    for (char c : text)
        ASSERT_TRUE((c >= '0' && c <= '9') || c == '-' || c == ',' || c == '\r' || c == '\n')
            << int(c);
    EXPECT_EQ(text.count("\r\n"), 2 + 50);
    EXPECT_EQ(text.count('\n'), 2 + 50);
    EXPECT_FALSE(text.contains(",\r"));
    EXPECT_TRUE(text.endsWith("\r\n"));
}

TEST(CaptureFileWrite, ReadOnlyDeviceFails)
{
    const SampleStore store = MakeStore({{0, 85}}, 2);
    QBuffer buf;
    buf.setData("untouched");
    buf.open(QIODevice::ReadOnly);
    EXPECT_FALSE(WriteCaptureFile(buf, kExampleSettings, 0, store, false));
    EXPECT_EQ(buf.data(), "untouched");

    QBuffer closed;
    EXPECT_FALSE(WriteCaptureFile(closed, kExampleSettings, 0, store, false));
}

TEST(CaptureFileWrite, FailureAfterSomeBytesIsReported)
{
    SampleStore store;
    store.create(3, 32767);
    const QByteArray full = CaptureFileText(kExampleSettings, 32767, store, true);

    struct Case {
        qint64 limit;
        bool ok;
    };
    const Case cases[] = {
        {0, false},  {10, false}, {65536, false}, {full.size() - 1, false}, {full.size(), true},
    };
    for (const Case &c : cases) {
        FailingDevice dev(c.limit);
        EXPECT_EQ(WriteCaptureFile(dev, kExampleSettings, 32767, store, true), c.ok) << c.limit;
        // Stops at the first failure: it never gets past the limit.
        EXPECT_LE(dev.accepted(), c.limit);
    }
}

TEST(CaptureFileWrite, RealFileRoundTrip)
{
    const SampleStore store = MakeStore({{0, 85}, {37, 170}, {102, 85}}, 2);
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(WriteCaptureFile(file, kExampleSettings, 2, store, false));
    file.close();

    QFile in(file.fileName());
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), CaptureFileText(kExampleSettings, 2, store, false));
}

TEST(CaptureFileWrite, FullDiskIsReported)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    SampleStore big;
    big.create(3, 32767);
    const SampleStore small = MakeStore({{0, 85}}, 2);
    // The small file fits in the file's own buffer: only the final flush sees
    // the error.
    for (int32_t last : {0, 32767}) {
        QFile full("/dev/full");
        ASSERT_TRUE(full.open(QIODevice::WriteOnly));
        EXPECT_FALSE(WriteCaptureFile(full, kExampleSettings, last, last ? big : small, true)) << last;
    }
}

TEST(CaptureFileRead, EarlyEndFailsAndConsumesNothing)
{
    QBuffer buf;
    buf.setData("13,10\r\n");
    buf.open(QIODevice::ReadOnly);
    CaptureFileReader r(buf);
    EXPECT_EQ(r.ReadByteField(), std::optional<uint8_t>(13));
    EXPECT_FALSE(r.atEnd());
    EXPECT_EQ(r.ReadByteField(), std::optional<uint8_t>(10));
    EXPECT_TRUE(r.atEnd());
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(r.ReadByteField().has_value());
        EXPECT_FALSE(r.ReadLongField().has_value());
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(CaptureFileRead, NothingToRead)
{
    for (const char *text : {"", "\r\n", "\r\n\r\n  \t\n", "   "}) {
        QBuffer buf;
        buf.setData(text);
        buf.open(QIODevice::ReadOnly);
        CaptureFileReader r(buf);
        EXPECT_TRUE(r.atEnd()) << text;
        EXPECT_FALSE(r.ReadLongField().has_value()) << text;
    }
    // A device that cannot be read at all (Load of a file that did not open).
    QBuffer closed;
    CaptureFileReader r(closed);
    EXPECT_TRUE(r.atEnd());
    EXPECT_FALSE(r.ReadByteField().has_value());
}

struct ReadCase {
    const char *name;
    QByteArray text;
    std::string ops;
    std::string expected;
};

class CaptureFileReadTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CaptureFileReadTable, Fields)
{
    const ReadCase &c = GetParam();
    EXPECT_EQ(ReadFields(c.text, c.ops), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Tolerance, CaptureFileReadTable,
    ::testing::Values(
        ReadCase{"byte_above_255_then_next_ok", "300,7\r\n", "BB", "x 7"},
        ReadCase{"byte_16_to_255", "16,200,255,256", "BBBB", "16 200 255 x"},
        ReadCase{"negative_byte", "-1,-0,0", "BBB", "x 0 0"},
        ReadCase{"misaligned_records", "0\r\n1\r\n0,85,10\r\n37,170,20\r\n", "BLLLLL",
                 "0 1 0 85 10 37"},
        ReadCase{"text_after_last_record", "1,2\r\n3,4\r\njunk,more\r\n", "LLLL", "1 2 3 4"},
        ReadCase{"blanks_around_values", " 1 ,\t2\t,  3  \r\n \t4", "LLLL", "1 2 3 4"},
        ReadCase{"blank_inside_value", "1 2,3", "LL", "x 3"},
        ReadCase{"lone_cr", "1\r2\r3", "LLLL", "1 2 3 x"},
        ReadCase{"lone_lf", "1\n2\n3\n", "LLLL", "1 2 3 x"},
        ReadCase{"cr_lf", "1\r\n2\r\n3\r\n", "LLLL", "1 2 3 x"},
        ReadCase{"lf_cr", "1\n\r2", "LLL", "1 2 x"},
        ReadCase{"blank_lines", "1\r\n\r\n\r\n   \r\n2\n\n3", "LLL", "1 2 3"},
        ReadCase{"leading_blank_lines", "\r\n\r\n5", "LL", "5 x"},
        ReadCase{"empty_between_commas", "1,,2", "LLLL", "1 x 2 x"},
        ReadCase{"blank_only_between_commas", "1, \t ,2", "LLL", "1 x 2"},
        ReadCase{"trailing_comma_before_line_end", "1,2,\r\n3", "LLLL", "1 2 x 3"},
        ReadCase{"trailing_comma_at_end", "1,", "LLL", "1 x x"},
        ReadCase{"comma_after_line_end", "1\r\n,2", "LLL", "1 x 2"},
        ReadCase{"letters", "abc,5,1a,a1", "LLLL", "x 5 x x"},
        ReadCase{"decimal_point", "1.5,2", "LL", "x 2"},
        ReadCase{"nul_bytes", QByteArray("1\0,\0,2", 6), "LLL", "x x 2"},
        ReadCase{"high_bytes", "\xef\xbb\xbf" "7,\xff,8", "LLL", "x x 8"},
        ReadCase{"signs", "+5,-5,+,-,+-5,--5,- 5", "LLLLLLL", "5 -5 x x x x x"},
        ReadCase{"plus_byte", "+255,+256", "BB", "255 x"},
        ReadCase{"leading_zeros", "007,-00,0000000000000000000042", "LLL", "7 0 42"},
        ReadCase{"int32_bounds", "2147483647,2147483648,-2147483648,-2147483649", "LLLL",
                 "2147483647 x -2147483648 x"},
        ReadCase{"twenty_digits", "99999999999999999999,18446744073709551617,1", "LLL", "x x 1"},
        ReadCase{"no_line_ends", "13,10,5,0,1,127,2,0,85,37,170,102,85", "BBBBBBLLLLLLLL",
                 "13 10 5 0 1 127 2 0 85 37 170 102 85 x"}),
    [](const ::testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

TEST(CaptureFileRead, HugeFieldsSpanningManyBuffers)
{
    // 5000 digits: saturates, fails, and the next field is intact.
    EXPECT_EQ(ReadFields(QByteArray(5000, '9') + ",4", "LL"), "x 4");
    EXPECT_EQ(ReadFields("-" + QByteArray(5000, '9') + ",4", "LL"), "x 4");
    // Leading zeros that run past the buffer still give the value.
    EXPECT_EQ(ReadFields(QByteArray(200000, '0') + "12,4", "LL"), "12 4");
    // 200 KB of digits, of blanks, of letters, and of line ends.
    EXPECT_EQ(ReadFields(QByteArray(200000, '7') + "\r\n4", "LL"), "x 4");
    EXPECT_EQ(ReadFields(QByteArray(200000, ' ') + "3" + QByteArray(200000, '\t') + ",4", "LL"), "3 4");
    EXPECT_EQ(ReadFields("1," + QByteArray(200000, 'z') + ",4", "LLL"), "1 x 4");
    EXPECT_EQ(ReadFields("1" + QByteArray(200000, '\n') + "4", "LLL"), "1 4 x");
    EXPECT_EQ(ReadFields("1," + QByteArray(200000, ' '), "LLL"), "1 x x");
}

TEST(CaptureFileRoundTrip, FullCapturesBothModesAndSpeed)
{
    struct Case {
        bool analog;
        int32_t last;
    };
    for (const Case c : {Case{false, 32767}, Case{true, 16383}}) {
        const int fields = c.analog ? 3 : 2;
        SampleStore store;
        store.create(fields, c.last);
        auto *rng = QRandomGenerator::global();
        for (int32_t n = 0; n <= c.last; ++n) {
            store.set(0, n, n);
            store.set(1, n, static_cast<int32_t>(rng->bounded(256)));
            if (c.analog)
                store.set(2, n, static_cast<int32_t>(rng->bounded(256)));
        }
        store.set(1, 0, INT32_MIN);
        store.set(1, 1, INT32_MAX);
        store.set(0, 2, -7);
        const CaptureSettings s{15, 15, 15, c.analog ? 1 : 0, 4, 255};

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QElapsedTimer writeTimer;
        writeTimer.start();
        ASSERT_TRUE(WriteCaptureFile(out, s, c.last, store, c.analog));
        const qint64 writeMs = writeTimer.elapsed();
        out.close();

        QBuffer in;
        in.setData(out.data());
        in.open(QIODevice::ReadOnly);
        QElapsedTimer readTimer;
        readTimer.start();
        CaptureFileReader r(in);
        std::vector<int> settings;
        for (int i = 0; i < 6; ++i)
            settings.push_back(r.ReadByteField().value_or(-1));
        const auto last = r.ReadLongField();
        SampleStore back;
        back.create(fields, last.value_or(-1));
        bool allOk = true;
        for (int32_t n = 0; n <= back.upperBound(); ++n)
            for (int f = 0; f < fields; ++f) {
                const auto v = r.ReadLongField();
                allOk = allOk && v.has_value();
                back.set(f, n, v.value_or(0));
            }
        const qint64 readMs = readTimer.elapsed();

        EXPECT_EQ(settings, (std::vector<int>{15, 15, 15, c.analog ? 1 : 0, 4, 255}));
        ASSERT_EQ(last, std::optional<int32_t>(c.last));
        EXPECT_TRUE(allOk);
        EXPECT_TRUE(r.atEnd());
        for (int f = 0; f < fields; ++f)
            for (int32_t n = 0; n <= c.last; ++n)
                ASSERT_EQ(back.at(f, n), store.at(f, n)) << "field " << f << " record " << n;

        // The budget is 20 ms each; the bound here leaves room for a loaded
        // build machine while still catching per-value overheads.
        EXPECT_LT(writeMs, 100) << (c.analog ? "analog" : "logic");
        EXPECT_LT(readMs, 100) << (c.analog ? "analog" : "logic");
        RecordProperty(c.analog ? "analog_write_ms" : "logic_write_ms", static_cast<int>(writeMs));
        RecordProperty(c.analog ? "analog_read_ms" : "logic_read_ms", static_cast<int>(readMs));
    }
}
