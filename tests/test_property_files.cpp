// Property tests of capture files: random and damaged files (cut anywhere,
// bytes flipped, huge and negative numbers, letters, empty fields, no line
// ends, very long lines, NUL bytes, counts far above the records present)
// through CaptureFileReader, the Load parser and the real Load command.
// Nothing may crash or hang, memory stays bounded, every field read agrees
// with the documented field rules, and what Load keeps is consistent.
//
// The seed is printed at the start and with every failure; set
// LA_PROPERTY_SEED=<seed> to replay a run.
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "app/error_report.h"
#include "files/capture_file.h"
#include "files/capture_load.h"
#include "support/form_fixture.h"
#include "support/hostile_input.h"

namespace {

std::string SeedTrace(uint64_t seed)
{
    return "seed " + std::to_string(seed) + " (replay with LA_PROPERTY_SEED=" + std::to_string(seed) + ")";
}

std::string Preview(const QByteArray &text)
{
    QByteArray p = text.left(120);
    p.replace('\r', "\\r").replace('\n', "\\n").replace('\0', "\\0");
    return p.toStdString() + (text.size() > 120 ? " ... (" + std::to_string(text.size()) + " bytes)" : "");
}

class FileGen {
public:
    explicit FileGen(uint64_t seed) : rng_(seed) {}

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    // What Save writes.
    QByteArray wellFormed()
    {
        CaptureSettings s;
        s.rateAndTriggerKind = uniform(0, 15);
        s.channelAndCondition = uniform(0, 15);
        s.patternBits = uniform(0, 15);
        s.analogFlag = uniform(0, 1);
        s.scaleIndex = uniform(0, 4);
        s.triggerLevel = uniform(0, 255);
        const int32_t last = chance(0.8) ? uniform(-1, 60) : uniform(-1, 3000);
        SampleStore store;
        store.create(3, last);
        for (int32_t n = 0; n <= last; ++n)
            for (int f = 0; f < 3; ++f)
                store.set(f, n, uniform(0, f == 0 ? 32767 : 255));
        return CaptureFileText(s, last, store, s.analogFlag == 1);
    }

    QByteArray noise(int n, const char *alphabet = nullptr)
    {
        QByteArray b;
        const int len = alphabet ? int(std::strlen(alphabet)) : 0;
        for (int i = 0; i < n; ++i)
            b.append(alphabet ? alphabet[uniform(0, len - 1)] : char(uniform(0, 255)));
        return b;
    }

    QByteArray hostileValue()
    {
        static const char *const values[] = {
            "99999999999999999999999999999", "4294967296", "2147483648", "2147483647", "-2147483648",
            "-2147483649", "-1", "-0", "+7", "256", "255", "0", "-5", "1048575", "1048576", "abc", "1e3",
            "0x10", "1.5", "", " ", "\t12 ", "- 3", "12 34", "--1", "+", "-", "\xff\xfe", "\x01"};
        const int count = int(sizeof values / sizeof values[0]);
        const int k = uniform(0, count);
        return k == count ? QByteArray(1, '\0') : QByteArray(values[k]);
    }

    // Replaces the k-th field (counted over commas and line ends) by `value`.
    QByteArray replaceField(const QByteArray &text, int k, const QByteArray &value)
    {
        int field = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool sep = i == text.size() || text[i] == ',' || text[i] == '\r' || text[i] == '\n';
            if (!sep)
                continue;
            if (field == k)
                return text.left(start) + value + text.mid(i);
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            ++field;
            start = i + 1;
        }
        return text + value;
    }

    QByteArray mutate(QByteArray text)
    {
        const int count = uniform(1, 3);
        for (int m = 0; m < count; ++m) {
            const int pos = text.isEmpty() ? 0 : uniform(0, int(text.size()));
            switch (uniform(0, 10)) {
            case 0: text.truncate(pos); break;
            case 1:
                for (int i = 0, n = uniform(1, 8); i < n && !text.isEmpty(); ++i)
                    text[uniform(0, int(text.size()) - 1)] = char(uniform(0, 255));
                break;
            case 2: text = replaceField(text, uniform(0, 12), hostileValue()); break;
            case 3: text = replaceField(text, uniform(0, 200), hostileValue()); break;
            case 4: text.insert(pos, chance(0.5) ? QByteArray(",,") : QByteArray(",\r\n,")); break;
            case 5: {
                static const char *const ends[] = {"", ",", " ", "\r", "\n", "\n\r", "\r\n\r\n"};
                text.replace("\r\n", ends[uniform(0, 6)]);
                break;
            }
            case 6: { // a very long line
                static const char *const fill[] = {" ", "7", ",", "\t", "-"};
                text.insert(pos, QByteArray(uniform(1000, 300000), fill[uniform(0, 4)][0]));
                break;
            }
            case 7: text.insert(pos, QByteArray(uniform(1, 64), '\0')); break;
            case 8: { // a count far above the records present
                static const int32_t counts[] = {1000, 65535, 1048575, 1048576, 2147483647, -2};
                text = replaceField(text, 6, QByteArray::number(counts[uniform(0, 5)]));
                break;
            }
            case 9: text.insert(pos, noise(uniform(1, 200), "0123456789,-+ \t\r\n")); break;
            default: text.insert(pos, noise(uniform(1, 200))); break;
            }
        }
        return text;
    }

    QByteArray anyFile()
    {
        switch (uniform(0, 9)) {
        case 0: return noise(uniform(0, 400));
        case 1: return noise(uniform(0, 4000), "0123456789,-\r\n ");
        case 2: return wellFormed();
        default: return mutate(wellFormed());
        }
    }

private:
    std::mt19937_64 rng_;
};

struct LoadFixture {
    std::unique_ptr<Form1> form = MakeDetachedForm(false);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("hostile.log"));
    QStringList messages;

    LoadFixture()
    {
        form->showFileDialog = [this](CommonDialog &d, bool) {
            d.FileName = path;
            return DialogResult::Confirmed;
        };
        SetMessageSink([this](const QString &, const QString &text, bool) { messages << text; });
    }
    ~LoadFixture() { SetMessageSink(nullptr); }

    void write(const QByteArray &text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(text), text.size());
    }

    // Loads `text` through the Load button and checks the result against
    // the parser's reading of the same file. Empty when all is well.
    std::string load(const QByteArray &text)
    {
        write(text);
        CaptureLoadContext context;
        context.analogBefore = form->isAnalogMode();
        context.lastSampleIndexBefore = form->state.LastSampleIndex;
        context.maxLastSampleIndex = Form1::kMaxStreamRecords - 1;
        ParsedCapture expected;
        QString error;
        const bool accepted = ReadCaptureFile(path, context, expected, &error);
        const int32_t lastBefore = form->state.LastSampleIndex;
        const int32_t boundBefore = form->state.SampleData.upperBound();
        const qsizetype messagesBefore = messages.size();

        form->Command2_Click(0);

        std::string why = hostile::ReceiveInvariantViolation(*form);
        if (!why.empty())
            return why;
        const SampleStore &sd = form->state.SampleData;
        if (form->state.LastSampleIndex > Form1::kMaxStreamRecords - 1)
            return "LastSampleIndex " + std::to_string(form->state.LastSampleIndex) + " above the record limit";
        if (sd.capacity() > size_t(Form1::kMaxStreamRecords))
            return "store holds room for " + std::to_string(sd.capacity()) + " records";
        if (!accepted) {
            if (messages.size() == messagesBefore)
                return "a refused file was not reported";
            if (form->state.LastSampleIndex != lastBefore || sd.upperBound() != boundBefore)
                return "a refused file changed the capture";
            return {};
        }
        if (form->state.LastSampleIndex != expected.recordsLastIndex)
            return "LastSampleIndex " + std::to_string(form->state.LastSampleIndex) + ", the file gives "
                + std::to_string(expected.recordsLastIndex);
        if (form->isAnalogMode() != expected.analog)
            return "the mode does not follow field 4";
        if (form->state.LastSampleIndex >= 0 && sd.upperBound() != form->state.LastSampleIndex)
            return "a loaded store must hold exactly the records of the file";
        for (int32_t n = 0; n <= form->state.LastSampleIndex; ++n)
            for (int f = 0; f < (expected.analog ? 3 : 2); ++f)
                if (sd.at(f, n) != expected.records.at(f, n))
                    return "record " + std::to_string(n) + " field " + std::to_string(f) + " differs from the file";
        return {};
    }
};

} // namespace

TEST(CaptureFileProperty, ReaderAndParserFollowTheFieldRulesOnHostileFiles)
{
    const uint64_t seed = hostile::PropertySeed();
    std::fprintf(stderr, "[ property ] capture file reader: seed %llu\n", static_cast<unsigned long long>(seed));
    SCOPED_TRACE(SeedTrace(seed));
    FileGen g(seed);
    int64_t bytes = 0;
    const int files = 3000;
    for (int i = 0; i < files; ++i) {
        const QByteArray text = g.anyFile();
        bytes += text.size();
        const std::string why =
            hostile::RunCaptureFileInput(reinterpret_cast<const uint8_t *>(text.constData()), size_t(text.size()));
        if (!why.empty()) {
            ADD_FAILURE() << "file " << i << ": " << why << "\n  text: " << Preview(text);
            return;
        }
    }
    std::fprintf(stderr, "[ property ] %d files, %lld bytes\n", files, static_cast<long long>(bytes));
}

TEST(CaptureFileProperty, LoadOfHostileFilesKeepsTheCaptureConsistent)
{
    const uint64_t seed = hostile::PropertySeed();
    std::fprintf(stderr, "[ property ] Load: seed %llu\n", static_cast<unsigned long long>(seed));
    SCOPED_TRACE(SeedTrace(seed));
    FileGen g(seed ^ 0x9E3779B97F4A7C15ULL);
    LoadFixture fx;
    ASSERT_TRUE(fx.dir.isValid());
    int64_t bytes = 0;
    const int files = 300;
    for (int i = 0; i < files; ++i) {
        // Load starts from whatever the window holds: either mode, a capture
        // or none.
        if (g.chance(0.3))
            fx.form->selectOption(fx.form->Option4[g.uniform(0, 1)]);
        if (g.chance(0.3))
            hostile::SimulateLoad(*fx.form, g.uniform(-1, 500));
        const QByteArray text = g.anyFile();
        bytes += text.size();
        const std::string why = fx.load(text);
        if (!why.empty()) {
            ADD_FAILURE() << "file " << i << ": " << why << "\n  text: " << Preview(text);
            return;
        }
    }
    std::fprintf(stderr, "[ property ] %d files loaded, %lld bytes, %lld messages\n", files,
                 static_cast<long long>(bytes), static_cast<long long>(fx.messages.size()));
}

TEST(CaptureFileProperty, ExtremeFilesLoadWithinBounds)
{
    LoadFixture fx;
    ASSERT_TRUE(fx.dir.isValid());
    const QByteArray settings = "13,10,5,1,1,127\r\n";
    struct Case {
        const char *name;
        QByteArray text;
    } cases[] = {
        {"empty file", QByteArray()},
        {"line ends only", QByteArray(100000, '\n')},
        {"NUL bytes only", QByteArray(1 << 20, '\0')},
        {"one line of a million digits", QByteArray(1 << 20, '7')},
        {"one line of commas", QByteArray(1 << 20, ',')},
        {"no line ends", "13,10,5,1,1,127,2,0,85,1,37,170,2,102,85,3"},
        {"largest accepted count, three records", settings + "1048575\r\n0,1,2\r\n3,4,5\r\n6,7,8\r\n"},
        {"count one above the limit", settings + "1048576\r\n0,1,2\r\n"},
        {"count 2^31-1, no records", settings + "2147483647\r\n"},
        {"count -2^31", settings + "-2147483648\r\n0,1,2\r\n"},
        {"count -1 with records after it", settings + "-1\r\n0,1,2\r\n"},
        {"count beyond 32 bits", settings + "99999999999999999999\r\n0,1,2\r\n"},
        {"settings above a byte", "300,-1,99999999999,2,7,256\r\n1\r\n0,1,2\r\n5,6,7\r\n"},
        {"letters everywhere", "a,b,c,d,e,f\r\ng\r\nh,i,j\r\n"},
        {"records of huge values", settings + "1\r\n2147483647,-2147483648,2147483647\r\n-1,-1,-1\r\n"},
    };
    for (int analog = 0; analog < 2; ++analog) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (analog ? ", Analog before" : ", Logic before"));
            fx.form->selectOption(fx.form->Option4[analog]);
            hostile::SimulateLoad(*fx.form, 20);
            EXPECT_EQ(fx.load(c.text), "");
        }
    }
    // A folder and a name that does not exist.
    fx.form->showFileDialog = [&](CommonDialog &d, bool) {
        d.FileName = fx.dir.path();
        return DialogResult::Confirmed;
    };
    fx.form->Command2_Click(0);
    EXPECT_EQ(hostile::ReceiveInvariantViolation(*fx.form), "");
    fx.form->showFileDialog = [&](CommonDialog &d, bool) {
        d.FileName = fx.dir.filePath(QStringLiteral("missing.log"));
        return DialogResult::Confirmed;
    };
    fx.form->Command2_Click(0);
    EXPECT_EQ(hostile::ReceiveInvariantViolation(*fx.form), "");
}
