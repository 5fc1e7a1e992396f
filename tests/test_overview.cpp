// The overview band above the window: its pixels against the capture, the
// view's rectangle and the cursors against the window's controls, a read
// back from the paced simulator filling it, and clicks, drags and the wheel
// moving the view exactly as the window's own controls do.
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <random>

#include "app/picture_box.h"
#include "frame/main_window.h"
#include "frame/view_navigation.h"
#include "panels/overview_band.h"
#include "panels/overview_columns.h"
#include "panels/overview_picture.h"
#include "support/form_fixture.h"
#include "support/simulated_window.h"

namespace {

constexpr int kWidth = 700;

// ---- what a column must show, worked out sample by sample ----

struct ExpectedColumn {
    uint8_t high = 0, low = 0;
    int changes[8] = {};
    int analogMin = 256, analogMax = -1;
};

std::vector<ExpectedColumn> ExpectedColumns(const Capture &c)
{
    const int64_t n = c.sampleCount();
    std::vector<ExpectedColumn> out(kWidth);
    const auto addAnalog = [](ExpectedColumn &e, int v) {
        e.analogMin = std::min(e.analogMin, v);
        e.analogMax = std::max(e.analogMax, v);
    };
    for (int col = 0; col < kWidth; ++col) {
        // Sample periods [s, s + 1) that overlap [col * n / W, (col + 1) * n / W).
        const int64_t first = col * n / kWidth;
        const int64_t last = ((col + 1) * n + kWidth - 1) / kWidth - 1;
        for (int64_t s = first; s <= last && s < n; ++s) {
            out[size_t(col)].high |= c.levelsAt(int32_t(s));
            out[size_t(col)].low |= uint8_t(~c.levelsAt(int32_t(s)));
            addAnalog(out[size_t(col)], c.analogCountAt(int32_t(s)));
        }
    }
    // A change at time t belongs to the column that holds t; the analog
    // trace ramps there from the value before.
    for (int64_t t = 1; t < n; ++t) {
        ExpectedColumn &e = out[size_t(t * kWidth / n)];
        const uint8_t changed = c.levelsAt(int32_t(t)) ^ c.levelsAt(int32_t(t - 1));
        for (int k = 0; k < 8; ++k)
            e.changes[k] += (changed >> k) & 1;
        if (c.analogCountAt(int32_t(t)) != c.analogCountAt(int32_t(t - 1)))
            addAnalog(e, c.analogCountAt(int32_t(t - 1)));
    }
    return out;
}

// Quiet stretches, single changes and bursts of a change every period, and
// now and then two records at one time (the second one counts).
Capture RandomCapture(uint32_t seed, int32_t length, bool analog)
{
    std::mt19937 rng(seed);
    std::vector<CaptureRecord> records;
    int32_t t = 0;
    uint8_t levels = uint8_t(rng());
    int a = 128;
    int burst = 0, burstChannel = 0;
    while (t < length) {
        records.push_back({t, levels, uint8_t(analog ? a : 0)});
        if (burst > 0) { // one channel toggling every period or two
            --burst;
            t += 1 + int32_t(rng() % 2);
            levels ^= uint8_t(1u << burstChannel);
            continue;
        }
        if (rng() % 10 == 0) {
            burst = 10 + int(rng() % 60);
            burstChannel = int(rng() % 8);
        }
        const uint32_t kind = rng() % 20;
        if (kind == 0)
            t += 0; // same time again
        else if (kind < 12)
            t += 1 + int32_t(rng() % 3);
        else if (kind < 18)
            t += 20 + int32_t(rng() % 200);
        else
            t += 1000 + int32_t(rng() % 4000);
        levels ^= (rng() % 3 == 0) ? uint8_t(rng()) : uint8_t(1u << (rng() % 8));
        a = std::clamp(a + int(rng() % 81) - 40, 0, 255);
    }
    return Capture(analog ? Capture::Mode::Analog : Capture::Mode::Logic, 0, length, std::move(records));
}

TEST(Overview, EveryColumnShowsLevelsEdgesActivityAndEnvelopeOfItsSamples)
{
    const struct {
        int32_t length;
        bool analog;
    } cases[] = {{32767, false}, {16383, true}, {5000, false}, {700, true}, {250, false}};
    uint32_t seed = 24;
    for (const auto &k : cases) {
        const Capture capture = RandomCapture(++seed, k.length, k.analog);
        OverviewColumns columns;
        BuildOverviewColumns(capture, kWidth, columns);
        OverviewLayout layout;
        layout.analog = k.analog;
        QImage image(layout.fieldLeft + kWidth, layout.height(), QImage::Format_RGB32);
        const OverviewColors colors;
        PaintOverviewBackground(image, layout, colors);
        PaintOverviewColumns(image, layout, columns, {}, colors);

        const std::vector<ExpectedColumn> expected = ExpectedColumns(capture);
        int seen[4] = {}; // busy, edge, high, low
        for (int c = 0; c < kWidth; ++c) {
            SCOPED_TRACE(testing::Message() << "length " << k.length << ", column " << c);
            const ExpectedColumn &e = expected[size_t(c)];
            const int x = layout.fieldLeft + c;
            for (int ch = 0; ch < 8; ++ch) {
                const QRgb top = image.pixel(x, layout.highY(ch)), bottom = image.pixel(x, layout.lowY(ch));
                const QRgb middle = image.pixel(x, (layout.highY(ch) + layout.lowY(ch)) / 2);
                const bool high = (e.high >> ch) & 1, low = (e.low >> ch) & 1;
                if (e.changes[ch] >= 2) {
                    ++seen[0];
                    EXPECT_TRUE(top == colors.busy && middle == colors.busy && bottom == colors.busy) << "CH" << ch + 1;
                } else if (e.changes[ch] == 1 || (high && low)) {
                    ++seen[1];
                    EXPECT_TRUE(top == colors.trace && middle == colors.trace && bottom == colors.trace) << "CH" << ch + 1;
                } else {
                    ++seen[high ? 2 : 3];
                    EXPECT_EQ(top, high ? colors.trace : colors.background) << "CH" << ch + 1;
                    EXPECT_EQ(bottom, high ? colors.background : colors.trace) << "CH" << ch + 1;
                    EXPECT_EQ(middle, colors.background) << "CH" << ch + 1;
                }
            }
            if (k.analog) {
                const int yMax = layout.analogY(e.analogMax), yMin = layout.analogY(e.analogMin);
                EXPECT_EQ(image.pixel(x, yMax), colors.trace);
                EXPECT_EQ(image.pixel(x, yMin), colors.trace);
                if (yMax > layout.analogTop()) {
                    EXPECT_EQ(image.pixel(x, yMax - 1), colors.background);
                }
                if (yMin < layout.analogTop() + OverviewLayout::kAnalogHeight - 1) {
                    EXPECT_EQ(image.pixel(x, yMin + 1), colors.background);
                }
            }
        }
        if (k.length >= 5000) { // long enough for every kind of column
            for (int kind = 0; kind < 4; ++kind)
                EXPECT_GT(seen[kind], 10) << "length " << k.length << ", kind " << kind;
        }
    }
}

TEST(Overview, ColumnsBuiltAsRecordsArriveAgreeWithTheWholeCaptureWhereFinal)
{
    const Capture capture = RandomCapture(7, 32767, true);
    OverviewColumns whole, live;
    BuildOverviewColumns(capture, kWidth, whole);
    live.reset(whole.scale(), true);
    const auto &records = capture.records();
    for (size_t i = 0; i < records.size(); ++i) {
        live.add(records[i].time, records[i].levels, records[i].analog);
        if (i % 97 != 0)
            continue;
        EXPECT_EQ(live.known(), records[i].time);
        // Every column wholly before the last record's time is final.
        for (int c = 0; c < live.scale().columnOf(live.known()); ++c) {
            const OverviewColumn &a = live.columns()[size_t(c)], &b = whole.columns()[size_t(c)];
            ASSERT_TRUE(a.high == b.high && a.low == b.low && a.edge == b.edge && a.busy == b.busy
                        && a.analogMin == b.analogMin && a.analogMax == b.analogMax)
                << "record " << i << ", column " << c;
        }
        for (int c = live.scale().columnEnd(live.known()); c < kWidth; ++c)
            ASSERT_FALSE(live.columns()[size_t(c)].covered()) << "record " << i << ", column " << c;
    }
}

// ---- the band in the frame ----

// A Logic stream with a change every `every` periods up to `length`.
QByteArray LogicStream(int every, int length)
{
    QByteArray s(1, char(0x02));
    for (int t = 0, k = 0; t < length; t += every, ++k) {
        s.append(char(t >> 8));
        s.append(char(t & 0xFF));
        s.append(char(uint8_t(k * 37 + (k >> 3))));
    }
    s.append(char(0x80));
    return s;
}

std::unique_ptr<MainWindow> FramedWithCapture(const QByteArray &stream)
{
    auto window = std::make_unique<MainWindow>(MakeDetachedForm(false).release(), QStringLiteral("test port"));
    window->show();
    DeliverEvents();
    Form1 &form = window->form();
    ScriptInstrument(form, [stream](const QByteArray &w) {
        const int command = uint8_t(w[0]) & 0x0F;
        return command == 0x06 || command == 0x07 ? stream : Bytes({0x06});
    });
    form.Command1[0]->click(); // Setting
    form.Command1[1]->click(); // Run, then the read
    DeliverEvents();
    return window;
}

QImage Pixels(QWidget *w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

TEST(Overview, RectangleAndCursorsShowWhatTheTracesShow)
{
    auto window = FramedWithCapture(LogicStream(3, 32767));
    Form1 &form = window->form();
    OverviewBand &band = window->overview();
    const OverviewScale scale = band.columns().scale();
    ASSERT_EQ(scale.domain, form.capture().sampleCount());
    ASSERT_GT(scale.domain, 32000);
    const OverviewLayout layout = band.bandLayout();
    // The field lies under the traces' x = 40.
    EXPECT_EQ(band.mapToGlobal(QPoint(layout.fieldLeft, 0)).x(), form.Picture1->mapToGlobal(QPoint(40, 0)).x());
    const QRgb background = form.Picture1->palette().color(QPalette::ToolTipBase).rgb();
    const QRgb outline = OverviewColors().view;
    const int y = layout.lanesBottom() + 1; // a row with nothing drawn but what follows the view

    for (int step = 0; step <= 6; ++step) {
        form.VScroll1->setValue(step);
        const int maximum = form.HScroll1->maximum();
        for (int start : {0, 12345, maximum}) {
            form.HScroll1->setValue(start);
            DeliverEvents();
            SCOPED_TRACE(testing::Message() << form.Label1->text().toStdString() << ", start " << start);
            // The first and the last sample period the traces show.
            const int64_t first = form.HScroll1->value();
            const int64_t last = std::min<int64_t>(first + int64_t(700 / form.state.Magnification) - 1,
                                                   scale.domain - 1);
            int x0 = scale.columnOf(first), x1 = scale.columnOf(last);
            if (x1 - x0 < 2) { // too narrow to see: three pixels round it
                x0 = (x0 + x1 + 1) / 2 - 1;
                x1 = std::min(x0 + 2, kWidth - 1);
            }
            const QImage img = Pixels(&band);
            EXPECT_EQ(img.pixel(layout.fieldLeft + x0, y), outline);
            EXPECT_EQ(img.pixel(layout.fieldLeft + x1, y), outline);
            if (x0 > 3) {
                EXPECT_EQ(img.pixel(layout.fieldLeft + x0 - 1, y), background);
            }
            if (x1 < kWidth - 1) {
                EXPECT_EQ(img.pixel(layout.fieldLeft + x1 + 1, y), background);
            }
            if (x1 - x0 > 2) {
                const QRgb inside = img.pixel(layout.fieldLeft + (x0 + x1) / 2, y);
                EXPECT_NE(inside, background);
                EXPECT_NE(inside, outline);
            }
        }
    }

    // The time cursors, placed with the mouse on the traces.
    form.VScroll1->setValue(6);
    form.HScroll1->setValue(10000);
    QTest::mouseClick(form.Picture1, Qt::LeftButton, {}, QPoint(400, 100));
    QTest::mouseClick(form.Picture1, Qt::RightButton, {}, QPoint(100, 100));
    ASSERT_EQ(form.state.XAxisSample, 10000 + 3600);
    ASSERT_EQ(form.state.XRefSample, 10000 + 600);
    const QImage img = Pixels(&band);
    EXPECT_EQ(img.pixel(layout.fieldLeft + scale.columnOf(form.state.XAxisSample), y), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(layout.fieldLeft + scale.columnOf(form.state.XRefSample), y), qRgb(0, 0, 0));
}

TEST(Overview, PacedReadBackFillsTheOverviewAsTheRecordsArrive)
{
    SimulatedWindow sim(/*capture=*/false, /*paced=*/true);
    ASSERT_NE(sim.window, nullptr);
    Form1 &form = sim.window->form();
    OverviewBand &band = sim.window->overview();
    form.Command1[0]->click(); // Setting
    ASSERT_TRUE(form.Command1[1]->isEnabled());

    struct Moment {
        int32_t known, domain;
        QImage pixels;
    };
    std::vector<Moment> moments;
    QTimer sampler;
    sampler.setInterval(10);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const OverviewColumns &c = band.columns();
        if (form.state.PendingCommand == QLatin1String("dataread") && !c.scale().isEmpty() && !c.isFinished()
            && (moments.empty() || moments.back().known != c.known()))
            moments.push_back({c.known(), c.scale().domain, Pixels(&band)});
    });
    sampler.start();
    form.Command1[1]->click(); // Run, then the read paced at the line speed
    sampler.stop();

    // After the end byte: the whole capture, nothing still to come.
    const OverviewColumns &done = band.columns();
    ASSERT_TRUE(done.isFinished());
    ASSERT_EQ(done.scale().domain, form.capture().sampleCount());
    const QImage final = Pixels(&band);
    const OverviewLayout layout = band.bandLayout();
    const QRgb hatch = OverviewColors().toCome;
    const auto hatched = [&](const QImage &img, int c) {
        const int x = layout.fieldLeft + c;
        return img.pixel(x, (4 - x % 4) % 4) == hatch && img.pixel(x, (4 - x % 4) % 4 + 4) == hatch;
    };
    for (int c = 0; c < kWidth; ++c)
        ASSERT_FALSE(hatched(final, c)) << c;

    // On the way there: a growing part, drawn as it will stay, and the rest
    // marked as still to come.
    ASSERT_GE(moments.size(), 3u);
    int32_t previous = -1;
    const OverviewSpan view = OverviewViewSpan(done.scale(), 0, form.state.Magnification);
    for (const Moment &m : moments) {
        SCOPED_TRACE(testing::Message() << "known " << m.known << " of " << m.domain);
        EXPECT_EQ(m.domain, done.scale().domain);
        EXPECT_GT(m.known, previous);
        previous = m.known;
        const int finalColumns = done.scale().columnOf(m.known);
        for (int c = view.x1 + 1; c < finalColumns; ++c) {
            for (int y = 0; y < layout.height(); ++y)
                ASSERT_EQ(m.pixels.pixel(layout.fieldLeft + c, y), final.pixel(layout.fieldLeft + c, y))
                    << "column " << c << ", y " << y;
        }
        for (int c = std::max(view.x1 + 1, done.scale().columnEnd(m.known)); c < kWidth; ++c)
            ASSERT_TRUE(hatched(m.pixels, c)) << "column " << c;
    }
    EXPECT_LT(moments.front().known, moments.front().domain / 2);
}

// Two framed windows with the same capture: one moved from the overview, the
// other by the window's own controls.
struct OverviewPair {
    std::unique_ptr<MainWindow> a, b;
    OverviewPair()
    {
        const QByteArray stream = LogicStream(3, 32767);
        a = FramedWithCapture(stream);
        b = FramedWithCapture(stream);
    }
    void expectSame(const char *what)
    {
        Form1 &fa = a->form(), &fb = b->form();
        EXPECT_EQ(fa.HScroll1->value(), fb.HScroll1->value()) << what;
        EXPECT_EQ(fa.Label1->text(), fb.Label1->text()) << what;
        EXPECT_EQ(fa.Label2->text(), fb.Label2->text()) << what;
        EXPECT_EQ(fa.Label6->text(), fb.Label6->text()) << what;
        EXPECT_EQ(Pixels(fa.Picture1), Pixels(fb.Picture1)) << what;
    }
};

TEST(Overview, ClickDragAndWheelMoveTheViewAsTheWindowsControlsDo)
{
    OverviewPair p;
    Form1 &fa = p.a->form(), &fb = p.b->form();
    OverviewBand &band = p.a->overview();
    const OverviewScale scale = band.columns().scale();
    const int left = band.bandLayout().fieldLeft;
    const int y = 20;
    const auto sampleOfColumn = [&](int c) { return int64_t((c + 0.5) * scale.domain / kWidth); };
    const auto centred = [&](int64_t s) {
        return ViewStartCentringSpan(s, s, fb.state.Magnification, fb.HScroll1->maximum());
    };

    // A click centres the view on the sample under it.
    QTest::mouseClick(&band, Qt::LeftButton, {}, QPoint(left + 300, y));
    fb.HScroll1->setValue(centred(sampleOfColumn(300)));
    p.expectSame("click");
    EXPECT_GT(fa.HScroll1->value(), 0);

    // Dragging the rectangle moves the view by what the pointer moved.
    const OverviewSpan span = OverviewViewSpan(scale, fa.HScroll1->value(), fa.state.Magnification);
    const int grab = left + (span.x0 + span.x1) / 2;
    const int64_t offset = band.sampleAt(grab) - fa.HScroll1->value();
    QTest::mousePress(&band, Qt::LeftButton, {}, QPoint(grab, y));
    for (int dx = 10; dx <= 150; dx += 20)
        QTest::mouseMove(&band, QPoint(grab + dx, y));
    QTest::mouseRelease(&band, Qt::LeftButton, {}, QPoint(grab + 150, y));
    fb.HScroll1->setValue(int(band.sampleAt(grab + 150) - offset));
    p.expectSame("drag of the rectangle");

    // A drag elsewhere keeps the view centred under the pointer, up to the
    // end of the scroll range.
    fa.VScroll1->setValue(1);
    fb.VScroll1->setValue(1);
    QTest::mousePress(&band, Qt::LeftButton, {}, QPoint(left + 20, y));
    fb.HScroll1->setValue(centred(sampleOfColumn(20)));
    p.expectSame("press beside the rectangle");
    QTest::mouseMove(&band, QPoint(left + 400, y));
    fb.HScroll1->setValue(centred(sampleOfColumn(400)));
    p.expectSame("drag");
    QTest::mouseMove(&band, QPoint(left + 800, y));
    QTest::mouseRelease(&band, Qt::LeftButton, {}, QPoint(left + 800, y));
    fb.HScroll1->setValue(fb.HScroll1->maximum());
    p.expectSame("drag beyond the end");

    // The wheel as over the traces: three arrow steps a notch, and Ctrl+wheel
    // zooms about the time under the pointer where the traces show it.
    const auto wheel = [&](int delta, Qt::KeyboardModifiers mods, QPointF at) {
        QWheelEvent e(at, band.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QCoreApplication::sendEvent(&band, &e);
    };
    QTest::mouseClick(&band, Qt::LeftButton, {}, QPoint(left + 350, y));
    fb.HScroll1->setValue(centred(sampleOfColumn(350)));
    wheel(-120, Qt::NoModifier, QPointF(left + 100, y));
    for (int i = 0; i < QApplication::wheelScrollLines(); ++i)
        fb.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    p.expectSame("wheel");
    const QPointF at(left + 352, y);
    const double pictureX = 40 + double(band.sampleAt(at.x()) - fa.HScroll1->value()) * fa.state.Magnification;
    ASSERT_GT(pictureX, 40);
    ASSERT_LT(pictureX, 740);
    wheel(-120, Qt::ControlModifier, at);
    const int startB = fb.HScroll1->value();
    const float magB = fb.state.Magnification;
    fb.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    fb.HScroll1->setValue(
        ViewStartKeepingSample(startB, magB, pictureX - 40, fb.state.Magnification, fb.HScroll1->maximum()));
    p.expectSame("ctrl+wheel");
    EXPECT_EQ(fa.Label1->text(), QStringLiteral("Mag ×2"));
}

TEST(Overview, ViewMenuHidesTheBandAndTheFrameIsAsWithout)
{
    auto window = FramedWithCapture(LogicStream(5, 4000));
    OverviewBand &band = window->overview();
    QAction *toggle = window->action(QStringLiteral("actionOverview"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(band.isVisible());
    const int shown = window->height();
    toggle->trigger();
    DeliverEvents();
    EXPECT_FALSE(band.isVisible());
    EXPECT_EQ(window->height(), shown - band.height());
    EXPECT_EQ(window->form().y(), window->form().parentWidget()->contentsRect().top());

    // A capture read while hidden is there when the band comes back.
    window->form().Command1[1]->click();
    DeliverEvents();
    toggle->trigger();
    DeliverEvents();
    EXPECT_TRUE(band.isVisible());
    EXPECT_EQ(window->height(), shown);
    EXPECT_TRUE(band.columns().isFinished());
    EXPECT_EQ(band.columns().recordCount(), int64_t(window->form().capture().records().size()));
}

} // namespace
