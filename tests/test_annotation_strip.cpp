// The annotation strip under the traces: boxes placed sample for sample with
// the traces, texts that fit, narrow annotations merged at coarse zoom, the
// rows shown, the annotation under a point, errors, and painting.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "decode/decode_engine.h"
#include "panels/annotation_strip.h"
#include "panels/annotation_tooltip.h"
#include "support/simulator_capture.h"

namespace {

// The simulator's scene at 20 MHz decoded with UART, SPI and I2C, once for
// every test.
std::shared_ptr<const DecodeResult> Decoded()
{
    static const std::shared_ptr<const DecodeResult> result = [] {
        std::shared_ptr<const DecodeResult> none;
        const auto catalog = LoadDecoderCatalog();
        if (!catalog->error().isEmpty())
            return none;
        DecodeRequest request;
        QString error;
        if (!ParseDecodeRequest(SimulatorDecoderStacks(), *catalog, &request, &error))
            return none;
        return DecodeNow(SimulatorCapture(), request);
    }();
    return result;
}

#define REQUIRE_DECODED()                                                       \
    const auto result = Decoded();                                              \
    if (!result)                                                                \
        GTEST_SKIP() << LoadDecoderCatalog()->error().toStdString();            \
    ASSERT_TRUE(result->errors().isEmpty()) << result->errors().join(QLatin1Char('\n')).toStdString()

// Ten pixels a character: easy to reason about.
const TextWidthFunction kTenPerChar = [](const QString &t) { return 10.0 * double(t.size()); };

const AnnotationRowLayout *FindRow(const std::vector<AnnotationRowLayout> &rows, const QString &title)
{
    for (const AnnotationRowLayout &r : rows) {
        if (r.info.title == title)
            return &r;
    }
    return nullptr;
}

AnnotationView View(int64_t start, float magnification) { return AnnotationView{start, magnification, 700}; }

TEST(AnnotationLayout, BoxesSitWhereTheTracesPutTheirSamples)
{
    REQUIRE_DECODED();
    for (const auto &[start, mag] : {std::pair<int64_t, float>{4321, 10.0f}, {1234, 0.1f}, {2500, 1.0f}}) {
        const AnnotationView view = View(start, mag);
        int checked = 0;
        for (const AnnotationRowLayout &row : LayOutAnnotations(*result, view, kTenPerChar)) {
            for (const AnnotationBox &box : row.boxes) {
                ASSERT_TRUE(box.annotation);
                EXPECT_GE(box.x1, 0.0f);
                EXPECT_LE(box.x2, 700.0f);
                if (box.block)
                    continue;
                const DecodeAnnotation &a = *box.annotation;
                const auto x = [&](int64_t t) { return float(double(t - start) * double(mag)); };
                EXPECT_FLOAT_EQ(box.x1, box.cutLeft ? 0.0f : x(a.start)) << row.info.title.toStdString();
                EXPECT_FLOAT_EQ(box.x2, box.cutRight ? 700.0f : x(std::max(a.end, a.start + 1)));
                checked += box.cutLeft || box.cutRight ? 0 : 1;
            }
        }
        EXPECT_GT(checked, 0) << "magnification " << mag;
    }
}

TEST(AnnotationLayout, TextIsTheLongestThatFitsThenShorterThenNone)
{
    const QStringList texts{QStringLiteral("Data 0x41"), QStringLiteral("0x41"), QStringLiteral("A")};
    EXPECT_EQ(ChooseAnnotationText(texts, 90, kTenPerChar), texts[0]);
    EXPECT_EQ(ChooseAnnotationText(texts, 89, kTenPerChar), texts[1]);
    EXPECT_EQ(ChooseAnnotationText(texts, 15, kTenPerChar), texts[2]);
    EXPECT_EQ(ChooseAnnotationText(texts, 9, kTenPerChar), QString());

    REQUIRE_DECODED();
    // Every box of the real result: the text fits with its padding, and
    // every longer text would not have.
    int shortened = 0;
    for (const float mag : {10.0f, 1.0f, 0.5f, 0.1f}) {
        for (const AnnotationRowLayout &row : LayOutAnnotations(*result, View(3000, mag), kTenPerChar)) {
            for (const AnnotationBox &box : row.boxes) {
                const double room = double(box.x2 - box.x1) - 2 * kAnnotationTextPadding;
                if (!box.text.isEmpty()) {
                    EXPECT_LE(box.textWidth, room);
                }
                if (box.block)
                    continue;
                const QStringList &all = box.annotation->texts;
                const qsizetype chosen = box.text.isEmpty() ? all.size() : all.indexOf(box.text);
                ASSERT_GE(chosen, 0);
                for (qsizetype i = 0; i < chosen; ++i)
                    EXPECT_GT(kTenPerChar(all[i]), room) << all[i].toStdString();
                shortened += chosen > 0 ? 1 : 0;
            }
        }
    }
    EXPECT_GT(shortened, 0);
}

TEST(AnnotationLayout, DenseBurstsMergeIntoBlocksAtOneTenth)
{
    REQUIRE_DECODED();
    // SPI bits last about 21 samples: 2 px at 1/10, 21 px at 1.
    const auto coarse = LayOutAnnotations(*result, View(0, 0.1f), kTenPerChar);
    const AnnotationRowLayout *bits = FindRow(coarse, QStringLiteral("spi-1: MOSI bits"));
    ASSERT_TRUE(bits);
    ASSERT_FALSE(bits->boxes.empty());
    for (const AnnotationBox &box : bits->boxes) {
        EXPECT_TRUE(box.block);
        EXPECT_GE(box.count, 8) << "one bar per burst of bits";
        EXPECT_TRUE(box.text.isEmpty());
    }
    const auto fine = LayOutAnnotations(*result, View(0, 1.0f), kTenPerChar);
    for (const AnnotationBox &box : FindRow(fine, QStringLiteral("spi-1: MOSI bits"))->boxes)
        EXPECT_FALSE(box.block);
}

TEST(AnnotationLayout, RowsEmptyInTheWholeResultAreLeftOutOthersStay)
{
    REQUIRE_DECODED();
    size_t nonEmpty = 0;
    for (const DecodeInstanceResult &i : result->instances) {
        for (const DecodeRow &r : i.rows)
            nonEmpty += r.annotations().empty() ? 0 : 1;
    }
    const std::vector<AnnotationRowInfo> rows = AnnotationRows(*result);
    EXPECT_EQ(rows.size(), nonEmpty);
    for (const AnnotationRowInfo &r : rows)
        EXPECT_FALSE(r.row->annotations().empty()) << r.title.toStdString();
    EXPECT_TRUE(rows[0].firstOfInstance);
    // I2C starts at 100 µs (sample 2000): its rows are there before it, empty.
    const auto early = LayOutAnnotations(*result, View(0, 1.0f), kTenPerChar);
    EXPECT_EQ(early.size(), rows.size());
    const AnnotationRowLayout *i2c = FindRow(early, QStringLiteral("i2c-1: Bits"));
    ASSERT_TRUE(i2c);
    EXPECT_TRUE(i2c->boxes.empty());
}

TEST(AnnotationStrip, FindsTheAnnotationUnderItsMiddleAndReportsDoubleClicks)
{
    REQUIRE_DECODED();
    AnnotationStrip strip;
    strip.setResult(result);
    strip.setView(1500, 0.5f, 60);
    strip.resize(800, strip.sizeHint().height());
    ASSERT_GT(strip.rowCount(), 0);
    // Each decoder's rows under a header line naming it; the rows' titles
    // are drawn in full over their left ends, so the header is no row.
    int headers = 0;
    for (int r = 0; r < strip.rowCount(); ++r) {
        EXPECT_EQ(strip.rowAt(strip.rowTop(r)), r);
        EXPECT_EQ(strip.rowAt(strip.rowTop(r) + AnnotationStrip::kRowHeight - 1), r);
        if (strip.headerText(r).isEmpty())
            continue;
        ++headers;
        EXPECT_EQ(strip.rowAt(strip.rowTop(r) - 1), -1);
        EXPECT_TRUE(strip.headerText(r).startsWith(strip.rowTitle(r).section(QLatin1Char(':'), 0, 0)))
            << strip.headerText(r).toStdString();
    }
    EXPECT_GE(headers, 1);
    EXPECT_TRUE(strip.headerText(0).contains(QStringLiteral("  "))) << strip.headerText(0).toStdString(); // "uart-1  UART"
    EXPECT_EQ(strip.sizeHint().height(), strip.rowCount() * AnnotationStrip::kRowHeight + 2 * AnnotationStrip::kMargin +
                                             headers * AnnotationStrip::kHeaderHeight);
    int found = 0;
    for (int r = 0; r < strip.rowCount(); ++r) {
        for (const AnnotationBox &box : strip.boxes(r)) {
            if (box.block || box.cutLeft || box.cutRight)
                continue;
            const DecodeAnnotation *a = box.annotation;
            const QPoint middle(60 + int((double(a->start + a->end) / 2 - 1500) * 0.5),
                                strip.rowTop(r) + 9);
            QString instance;
            EXPECT_EQ(strip.annotationAt(middle, &instance), a) << strip.rowTitle(r).toStdString();
            EXPECT_TRUE(strip.rowTitle(r).startsWith(instance + QStringLiteral(": ")));
            ++found;
        }
    }
    EXPECT_GT(found, 3);
    EXPECT_EQ(strip.annotationAt(QPoint(30, 10)), nullptr); // the titles
    EXPECT_EQ(strip.annotationAt(QPoint(200, strip.height() + 5)), nullptr);

    const AnnotationBox box = strip.boxes(0).front();
    QSignalSpy activated(&strip, &AnnotationStrip::annotationActivated);
    QTest::mouseDClick(&strip, Qt::LeftButton, {}, QPoint(60 + int((box.x1 + box.x2) / 2), strip.rowTop(0) + 9));
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated[0][0].toString(), QStringLiteral("uart-1"));
    EXPECT_EQ(activated[0][1].toLongLong(), box.annotation->start);

    EXPECT_EQ(CaptureTimeText(247, 20000000), QStringLiteral("12.35 \u00b5s"));
    EXPECT_TRUE(AnnotationToolTip(*box.annotation, QStringLiteral("uart-1"), QStringLiteral("RX data"), 20000000)
                    .contains(QStringLiteral("duration ")));
}

TEST(AnnotationStrip, ShowsAnInstanceErrorAcrossTheField)
{
    REQUIRE_DECODED();
    auto failed = std::make_shared<DecodeResult>(*result);
    failed->instances[1].error = QStringLiteral("spi-1 gave up: ValueError");
    DecodeInstanceResult empty;
    empty.name = QStringLiteral("i2c-2");
    empty.error = QStringLiteral("unknown option");
    failed->instances.push_back(empty);

    AnnotationStrip strip;
    strip.setResult(failed);
    strip.setView(0, 1.0f, 40);
    QStringList errorRows;
    for (int r = 0; r < strip.rowCount(); ++r) {
        if (!strip.rowTitle(r).endsWith(QStringLiteral(": error")))
            continue;
        errorRows << strip.rowTitle(r);
        ASSERT_EQ(strip.boxes(r).size(), 1u);
        const AnnotationBox &box = strip.boxes(r)[0];
        EXPECT_EQ(box.kind, AnnotationKind::Error);
        EXPECT_EQ(box.x1, 0.0f);
        EXPECT_EQ(box.x2, 700.0f);
        EXPECT_FALSE(box.text.isEmpty());
    }
    EXPECT_EQ(errorRows, QStringList({QStringLiteral("spi-1: error"), QStringLiteral("i2c-2: error")}));
    EXPECT_EQ(strip.rowCount(), int(AnnotationRows(*result).size()) + 2);
}

TEST(AnnotationStrip, PaintsBoxesInsideTheFieldOnly)
{
    AnnotationStrip strip;
    strip.setResult(nullptr);
    EXPECT_EQ(strip.sizeHint().height(), 0);
    EXPECT_EQ(strip.rowCount(), 0);

    REQUIRE_DECODED();
    strip.setResult(result);
    strip.setView(2000, 0.1f, 40);
    strip.resize(780, strip.sizeHint().height());
    const QImage image = strip.grab().toImage();
    const QRgb background = image.pixel(779, 1);
    int inside = 0;
    for (int r = 0; r < strip.rowCount(); ++r) {
        const int y = strip.rowTop(r) + 5;
        for (const AnnotationBox &box : strip.boxes(r)) {
            if (box.x2 - box.x1 >= 6) {
                EXPECT_NE(image.pixel(40 + int(box.x1) + 3, y), background) << strip.rowTitle(r).toStdString();
                ++inside;
            }
        }
        for (int x = 741; x < 780; ++x)
            ASSERT_EQ(image.pixel(x, y), background) << "x " << x;
    }
    EXPECT_GT(inside, 10);
}

} // namespace
