// Decoding that follows a capture while it is read back: the samples handed
// out as records arrive, the engine's live runs against a decode of the
// whole capture, and the window's decoders fed during a paced read-back.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <tuple>

#include "app/form1.h"
#include "decode/decode_engine.h"
#include "decode/live_samples.h"
#include "frame/main_window.h"
#include "panels/decoders_dock.h"
#include "panels/overview_band.h"
#include "panels/overview_picture.h"
#include "support/simulated_window.h"
#include "support/simulator_capture.h"

namespace {

using Flat = std::vector<std::tuple<QString, QString, int64_t, int64_t, int, QStringList>>;

// Every annotation of a result: instance, row, start, end, class, texts.
Flat Annotations(const DecodeResult &result)
{
    Flat out;
    for (const DecodeInstanceResult &instance : result.instances) {
        for (const DecodeRow &row : instance.rows) {
            for (const DecodeAnnotation &a : row.annotations())
                out.emplace_back(instance.name, row.id, a.start, a.end, a.annotationClass, a.texts);
        }
    }
    return out;
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

DecodeRequest SimulatorRequest()
{
    DecodeRequest request;
    QString error;
    EXPECT_TRUE(ParseDecodeRequest(SimulatorDecoderStacks(), *LoadDecoderCatalog(), &request, &error))
        << error.toStdString();
    return request;
}

} // namespace

TEST(LiveDecoding, SamplesHandedOutBeginTheCompleteCapture)
{
    std::mt19937 random(7);
    std::vector<CaptureRecord> records;
    int32_t t = 3;
    for (int i = 0; i < 3000; ++i) {
        t += int32_t(random() % 40) - 5; // now and then a record that goes back in time
        records.push_back({t, uint8_t(random()), 0});
    }
    records.push_back({40000, 1, 0}); // past the last time stamp there is
    const Capture whole(Capture::Mode::Logic, 0, 0, records);
    const std::vector<uint8_t> all = whole.expandLogic();

    LiveSamples live;
    for (size_t n = 0; n < records.size(); ++n) {
        const size_t before = live.samples().size();
        const int32_t made = live.add(records[n].time, records[n].levels);
        // Final: everything before the latest record's (cleaned) time.
        ASSERT_EQ(live.samples().size(), size_t(whole.records()[n].time)) << n;
        ASSERT_EQ(live.samples().size(), before + size_t(made));
    }
    EXPECT_TRUE(std::equal(live.samples().begin(), live.samples().end(), all.begin()));
    live.reset();
    EXPECT_TRUE(live.samples().empty());
}

TEST(LiveDecoding, ALiveRunEndsAsAWholeDecodeAndDecodesAnotherCaptureAnew)
{
    DecodeEngine engine;
    DecodeLimits limits;
    limits.timeLimitSeconds = 2;
    engine.setLimits(limits);
    std::vector<std::shared_ptr<const DecodeResult>> results, partials;
    QObject::connect(&engine, &DecodeEngine::finished,
                     [&](std::shared_ptr<const DecodeResult> r) { results.push_back(r); });
    QObject::connect(&engine, &DecodeEngine::partial,
                     [&](std::shared_ptr<const DecodeResult> r) { partials.push_back(r); });

    const Capture capture = SimulatorCapture();
    const DecodeRequest request = SimulatorRequest();
    const std::vector<uint8_t> samples = capture.expandLogic();
    const Flat expected = Annotations(*DecodeNow(capture, request));
    ASSERT_GT(expected.size(), 300u);

    // In uneven pieces with pauses, as a read-back brings them, up to the
    // last record's time: the rest comes with the capture.
    engine.startLive(capture.sampleRateHz(), request);
    EXPECT_TRUE(engine.isLive());
    std::mt19937 random(3);
    const size_t known = size_t(capture.records().back().time);
    for (size_t at = 0; at < known;) {
        const size_t n = std::min(known - at, size_t(500 + random() % 3000));
        engine.feed(samples.data() + at, n);
        at += n;
        WaitFor([] { return false; }, 5);
    }
    ASSERT_TRUE(WaitFor([&] { return !partials.empty(); }, 30000));
    // Waiting for the instrument does not count against the time limit.
    WaitFor([] { return false; }, 2500);
    EXPECT_TRUE(results.empty()); // nothing final before the end
    const Flat soFar = Annotations(*partials.back());
    EXPECT_GT(soFar.size(), 0u);
    EXPECT_LE(soFar.size(), expected.size());

    ASSERT_TRUE(engine.finish(capture));
    EXPECT_FALSE(engine.isLive());
    ASSERT_TRUE(WaitFor([&] { return results.size() == 1; }, 30000));
    EXPECT_FALSE(results[0]->stopped()) << results[0]->stopText.toStdString();
    EXPECT_EQ(results[0]->sampleCount, capture.sampleCount());
    EXPECT_TRUE(Annotations(*results[0]) == expected);

    // Samples that are not the start of the capture that arrives (a read
    // stopped and another taken): it is decoded anew.
    std::vector<uint8_t> other(samples.begin(), samples.begin() + 10000);
    for (uint8_t &b : other)
        b = uint8_t(~b);
    engine.startLive(capture.sampleRateHz(), request);
    engine.feed(other.data(), other.size());
    engine.finish(capture);
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }, 30000));
    EXPECT_TRUE(Annotations(*results[1]) == expected);

    // Superseded or cancelled live runs deliver nothing.
    engine.startLive(capture.sampleRateHz(), request);
    engine.feed(samples.data(), 5000);
    engine.cancel();
    EXPECT_FALSE(engine.finish(capture));
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(results.size(), 2u);
}

TEST(LiveDecoding, TheWindowsDecodersFollowAPacedReadBack)
{
    SimulatedWindow sim(/*capture=*/false, /*paced=*/true);
    ASSERT_NE(sim.window, nullptr);
    MainWindow &w = *sim.window;
    Form1 &form = w.form();
    DecodersDock &decoders = w.decoders();
    decoders.addDecoders(SimulatorDecoderStacks(), QStringLiteral("Decoders"));
    ASSERT_TRUE(WaitFor([&] { return decoders.decoders().size() == 3; }, 30000));
    // At 1 MHz the scene changes often enough for a read of about a second.
    form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("1MHz")));
    form.Slider1->setValue(12000);
    form.Command1[0]->click();    // Setting

    int partialsDuringRead = 0;
    size_t mostSoFar = 0;
    std::vector<QString> laneNames;
    QObject::connect(&decoders, &DecodersDock::partialResult, [&](std::shared_ptr<const DecodeResult> r) {
        if (form.state.PendingCommand != QLatin1String("dataread"))
            return;
        ++partialsDuringRead;
        mostSoFar = std::max(mostSoFar, Annotations(*r).size());
        laneNames = w.overview().ticks().names;
    });
    QSignalSpy shown(&decoders, &DecodersDock::resultShown);
    form.Command1[1]->click(); // Run, then the read paced at the line speed
    ASSERT_TRUE(shown.count() > 0 || shown.wait(30000));

    // Ticks came while the capture arrived, in a lane per decoder.
    EXPECT_GE(partialsDuringRead, 2);
    EXPECT_GT(mostSoFar, 0u);
    EXPECT_EQ(laneNames, (std::vector<QString>{"uart-1", "spi-1", "i2c-1"}));
    // And the end is what decoding the whole capture gives.
    const Capture capture = form.capture();
    ASSERT_FALSE(capture.isEmpty());
    const Flat expected = Annotations(*DecodeNow(capture, SimulatorRequest()));
    ASSERT_NE(decoders.result(), nullptr);
    EXPECT_GT(expected.size(), mostSoFar);
    EXPECT_TRUE(Annotations(*decoders.result()) == expected);
    EXPECT_EQ(w.overview().ticks().names, (std::vector<QString>{"uart-1", "spi-1", "i2c-1"}));
    // Each decoder's ticks in its own lane, where its annotations start
    // (the view's rectangle at the far left tints what it covers).
    OverviewBand &band = w.overview();
    const QImage picture = band.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const OverviewLayout layout = band.bandLayout();
    const OverviewTicks &ticks = band.ticks();
    const OverviewSpan view = OverviewViewSpan(band.columns().scale(), form.HScroll1->value(), form.state.Magnification);
    ASSERT_EQ(layout.tickLanes, 3);
    ASSERT_EQ(ticks.lanes.size(), 3u);
    for (int lane = 0; lane < 3; ++lane) {
        const QRgb ground = picture.pixel(layout.fieldLeft - 2, layout.tickTop(lane) + 2);
        int marked = 0;
        for (int c = view.x1 + 1; c < layout.width; ++c) {
            const QRgb expected = ticks.lanes[size_t(lane)][size_t(c)];
            const QRgb seen = picture.pixel(layout.fieldLeft + c, layout.tickTop(lane) + 2);
            if (expected != 0) {
                ++marked;
                ASSERT_EQ(seen, expected) << "lane " << lane << ", column " << c;
            } else {
                ASSERT_EQ(seen, ground) << "lane " << lane << ", column " << c;
            }
        }
        EXPECT_GT(marked, 10) << "lane " << lane;
    }
    // Decoded once: the window telling of the capture again does not start it over.
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(shown.count(), 1);
}
