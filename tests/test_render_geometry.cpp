// Geometry of the waveform redraw: segment lists, cursors and the view label.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <ostream>
#include <utility>

#include "display/render_geometry.h"

static bool operator==(const Segment &a, const Segment &b)
{
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

static void PrintTo(const Segment &s, std::ostream *os)
{
    *os << "(" << s.x1 << ", " << s.y1 << ") -> (" << s.x2 << ", " << s.y2 << ")";
}

namespace {

using Segments = std::vector<Segment>;

SampleStore makeStore(const std::vector<int32_t> &times, const std::vector<int32_t> &levels,
                      const std::vector<int32_t> &analog = {})
{
    SampleStore store;
    store.create(analog.empty() ? 2 : 3, static_cast<int32_t>(times.size()) - 1);
    for (size_t i = 0; i < times.size(); ++i) {
        store.set(0, static_cast<int32_t>(i), times[i]);
        store.set(1, static_cast<int32_t>(i), levels[i]);
        if (!analog.empty())
            store.set(2, static_cast<int32_t>(i), analog[i]);
    }
    return store;
}

RedrawInputs inputsFor(const SampleStore &store, int viewStart, float magnification, bool analog = false)
{
    return RedrawInputs{&store, store.upperBound(), viewStart, magnification, analog, 50, 100};
}

RedrawGeometry redraw(const RedrawInputs &in)
{
    RedrawGeometry g;
    ComputeRedraw(in, g);
    return g;
}

TEST(RenderGeometry, FirstEntryAtZeroAllInsideView)
{
    const SampleStore store = makeStore({0, 10, 30}, {0x00, 0xFF, 0x01});
    const Segments expected = {
        // entry 0 -> 1: all channels low, then edges up
        {40, 35, 50, 35}, {50, 35, 50, 7}, {40, 71, 50, 71}, {50, 71, 50, 43},
        {40, 107, 50, 107}, {50, 107, 50, 79}, {40, 143, 50, 143}, {50, 143, 50, 115},
        {40, 179, 50, 179}, {50, 179, 50, 151}, {40, 215, 50, 215}, {50, 215, 50, 187},
        {40, 251, 50, 251}, {50, 251, 50, 223}, {40, 287, 50, 287}, {50, 287, 50, 259},
        // entry 1 -> 2: all high, then CH1 stays (edge of zero length), the rest fall
        {50, 7, 70, 7}, {70, 7, 70, 7}, {50, 43, 70, 43}, {70, 43, 70, 71},
        {50, 79, 70, 79}, {70, 79, 70, 107}, {50, 115, 70, 115}, {70, 115, 70, 143},
        {50, 151, 70, 151}, {70, 151, 70, 179}, {50, 187, 70, 187}, {70, 187, 70, 215},
        {50, 223, 70, 223}, {70, 223, 70, 251}, {50, 259, 70, 259}, {70, 259, 70, 287},
    };
    EXPECT_EQ(redraw(inputsFor(store, 0, 1.0f)).segments, expected);
}

TEST(RenderGeometry, EntryLeftOfViewStartsAtFieldEdge)
{
    const SampleStore store = makeStore({0, 100}, {0x01, 0x02});
    const Segments segs = redraw(inputsFor(store, 50, 1.0f)).segments;
    ASSERT_EQ(segs.size(), 16u);
    const Segments firstFour = {{40, 7, 90, 7}, {90, 7, 90, 35}, {40, 71, 90, 71}, {90, 71, 90, 43}};
    EXPECT_EQ(Segments(segs.begin(), segs.begin() + 4), firstFour);
    for (size_t k = 0; k < segs.size(); k += 2)
        EXPECT_EQ(segs[k].x1, 40.0f) << k;
}

TEST(RenderGeometry, EntryRightOfFieldHoldsLevelToEdgeAndEndsLoop)
{
    const SampleStore store = makeStore({0, 650, 800, 900}, {0x00, 0xFF, 0x00, 0xFF});
    const Segments segs = redraw(inputsFor(store, 0, 1.0f)).segments;
    ASSERT_EQ(segs.size(), 16u + 8u);
    const Segments hold = {{690, 7, 740, 7},     {690, 43, 740, 43},   {690, 79, 740, 79},
                           {690, 115, 740, 115}, {690, 151, 740, 151}, {690, 187, 740, 187},
                           {690, 223, 740, 223}, {690, 259, 740, 259}};
    EXPECT_EQ(Segments(segs.begin() + 16, segs.end()), hold);
}

TEST(RenderGeometry, EntryLeftOfViewAndSuccessorRightOfField)
{
    const SampleStore store = makeStore({0, 1000}, {0x80, 0x00}, {0, 255});
    const Segments segs = redraw(inputsFor(store, 100, 1.0f, true)).segments;
    ASSERT_EQ(segs.size(), 9u);
    EXPECT_EQ(segs.front(), (Segment{40, 35, 740, 35}));
    EXPECT_EQ(segs[7], (Segment{40, 259, 740, 259}));
    EXPECT_EQ(segs[8], (Segment{40, 440, 740, 440}));
}

TEST(RenderGeometry, StopTestComesBeforeDrawTest)
{
    // Entry 2's predecessor lies right of the field: the loop ends there,
    // even though later entries (out of order, as a damaged file could hold)
    // would lie inside the view.
    const SampleStore store = makeStore({0, 750, 760, 10, 20}, {0xFF, 0x00, 0xFF, 0x00, 0xFF});
    const Segments expected = {{40, 7, 740, 7},     {40, 43, 740, 43},   {40, 79, 740, 79},
                               {40, 115, 740, 115}, {40, 151, 740, 151}, {40, 187, 740, 187},
                               {40, 223, 740, 223}, {40, 259, 740, 259}};
    EXPECT_EQ(redraw(inputsFor(store, 0, 1.0f)).segments, expected);
}

TEST(RenderGeometry, EqualTimeStampsDrawNothingForTheSecond)
{
    const SampleStore store = makeStore({0, 10, 10, 20}, {0x00, 0x01, 0x02, 0x00});
    const Segments segs = redraw(inputsFor(store, 0, 1.0f)).segments;
    ASSERT_EQ(segs.size(), 32u);
    // The next drawn segment starts from entry 2 (levels 0x02), not entry 1.
    EXPECT_EQ(segs[16], (Segment{50, 35, 60, 35}));
    EXPECT_EQ(segs[17], (Segment{60, 35, 60, 35}));
    EXPECT_EQ(segs[18], (Segment{50, 43, 60, 43}));
    EXPECT_EQ(segs[19], (Segment{60, 43, 60, 71}));
}

TEST(RenderGeometry, EntryAtViewStartDrawsNothing)
{
    const SampleStore store = makeStore({0, 50, 60}, {0x00, 0x01, 0x00});
    const Segments segs = redraw(inputsFor(store, 50, 1.0f)).segments;
    ASSERT_EQ(segs.size(), 16u); // only entry 1 -> 2
    EXPECT_EQ(segs[0], (Segment{40, 7, 50, 7}));
    EXPECT_EQ(segs[1], (Segment{50, 7, 50, 35}));
}

TEST(RenderGeometry, AnalogHoldThenRampAfterEightChannels)
{
    const SampleStore store = makeStore({0, 10, 11, 800}, {0, 0, 0, 0}, {0, 128, 255, 0});
    const Segments segs = redraw(inputsFor(store, 0, 1.0f, true)).segments;
    ASSERT_EQ(segs.size(), 18u + 18u + 9u);
    // entry 0 -> 1: hold at 0 until one period before entry 1, then ramp
    EXPECT_EQ(segs[16], (Segment{40, 440, 49, 440}));
    EXPECT_EQ(segs[17], (Segment{49, 440, 50, 370}));
    // entry 1 -> 2, one period apart: zero-length hold, ramp through the samples
    EXPECT_EQ(segs[34], (Segment{50, 370, 50, 370}));
    EXPECT_EQ(segs[35], (Segment{50, 370, 51, 300}));
    // entry 2 -> 3 beyond the field: only the held value up to the edge
    EXPECT_EQ(segs[44], (Segment{51, 300, 740, 300}));
}

TEST(RenderGeometry, AnalogRampStartIsNotClipped)
{
    // Mag x10, predecessor left of the view: x1 is clipped to the field edge,
    // the hold runs to the period before entry 1.
    const SampleStore store = makeStore({0, 101}, {0, 0}, {255, 0});
    const Segments segs = redraw(inputsFor(store, 100, 10.0f, true)).segments;
    ASSERT_EQ(segs.size(), 18u);
    EXPECT_EQ(segs[0], (Segment{40, 35, 50, 35}));
    EXPECT_EQ(segs[16], (Segment{40, 300, 40, 300}));
    EXPECT_EQ(segs[17], (Segment{40, 300, 50, 440}));

    // Called with offsets x1 = -20, x2 = 5 while entry 1 sits at the view start:
    // x0 = (100 - 100 - 1) * 10 = -10 is used as it is, left of the field.
    Segments direct;
    const SampleStore at = makeStore({0, 100}, {0, 0}, {255, 0});
    DrawWaveforms(direct, at, 1, -20.0f, 5.0f, 100, 10.0f, true);
    ASSERT_EQ(direct.size(), 18u);
    EXPECT_EQ(direct[0], (Segment{40, 35, 45, 35}));
    EXPECT_EQ(direct[16], (Segment{40, 300, 30, 300}));
    EXPECT_EQ(direct[17], (Segment{30, 300, 45, 440}));
}

TEST(RenderGeometry, AppendKeepsWhatIsAlreadyInTheList)
{
    const SampleStore store = makeStore({0, 10}, {0, 0});
    Segments out = {{1, 2, 3, 4}};
    DrawWaveforms(out, store, 1, 0.0f, 10.0f, 0, 1.0f, false);
    ASSERT_EQ(out.size(), 17u);
    EXPECT_EQ(out[0], (Segment{1, 2, 3, 4}));
    EXPECT_EQ(out[1], (Segment{40, 35, 50, 35}));
}

TEST(RenderGeometry, LogicLevelsAllHigh)
{
    const SampleStore store = makeStore({0, 10, 20}, {255, 255, 255});
    const Segments segs = redraw(inputsFor(store, 0, 1.0f)).segments;
    ASSERT_EQ(segs.size(), 32u);
    const float high[] = {7, 43, 79, 115, 151, 187, 223, 259};
    for (size_t s = 0; s < segs.size(); ++s) {
        const float y = high[(s / 2) % 8];
        EXPECT_EQ(segs[s].y1, y) << s;
        EXPECT_EQ(segs[s].y2, y) << s;
    }
}

TEST(RenderGeometry, LogicY)
{
    const float high[] = {7, 43, 79, 115, 151, 187, 223, 259};
    const float low[] = {35, 71, 107, 143, 179, 215, 251, 287};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(LogicY(k, 255), high[k]) << k;
        EXPECT_EQ(LogicY(k, 0), low[k]) << k;
        EXPECT_EQ(LogicY(k, 1 << k), high[k]) << k;
        EXPECT_EQ(LogicY(k, 255 & ~(1 << k)), low[k]) << k;
    }
}

TEST(RenderGeometry, AnalogY)
{
    const struct {
        int32_t value;
        float y;
    } rows[] = {{0, 440}, {128, 370}, {255, 300}, {1, 439}, {64, 405}, {127, 370}, {200, 330}};
    for (const auto &r : rows)
        EXPECT_EQ(AnalogY(r.value), r.y) << r.value;
}

TEST(RenderGeometry, TimeToX)
{
    EXPECT_EQ(TimeToX(100, 0, 1.0f), 100.0f);
    EXPECT_EQ(TimeToX(0, 50, 1.0f), -50.0f);
    EXPECT_EQ(TimeToX(1000, 1000, 0.1f), 0.0f);
    EXPECT_EQ(TimeToX(7000, 0, 0.1f), 700.0f); // 700.00001 in double, 700 as float
    EXPECT_GT(TimeToX(7001, 0, 0.1f), 700.0f); // beyond the field
    EXPECT_FLOAT_EQ(TimeToX(7001, 0, 0.1f), 700.1f);
    EXPECT_EQ(TimeToX(std::numeric_limits<int32_t>::min(), 32767, 1.0f), -2147516415.0f);
}

struct CursorCase {
    int32_t sample;
    int viewStart;
    float magnification;
    bool visible;
    float x;
};

class CursorPlacementTest : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorPlacementTest, BothCursors)
{
    const CursorCase &c = GetParam();
    RedrawGeometry g;
    ComputeRedraw(RedrawInputs{nullptr, -1, c.viewStart, c.magnification, false, c.sample, c.sample}, g);
    EXPECT_EQ(g.line1.visible, c.visible);
    EXPECT_EQ(g.line2.visible, c.visible);
    if (c.visible) {
        EXPECT_EQ(g.line1.x, c.x);
        EXPECT_EQ(g.line2.x, c.x);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorPlacementTest,
    ::testing::Values(CursorCase{19, 20, 1.0f, false, 0}, // left of the view: hidden
                      CursorCase{20, 20, 1.0f, true, 40}, // at the view start
                      CursorCase{50, 0, 1.0f, true, 90}, CursorCase{100, 0, 1.0f, true, 140},
                      CursorCase{1000, 0, 1.0f, true, 1040}, // right of the field: beyond 740
                      CursorCase{100, 0, 0.5f, true, 90}, CursorCase{27, 20, 10.0f, true, 110},
                      CursorCase{32767, 25867, 0.1f, true, 730},
                      CursorCase{std::numeric_limits<int32_t>::min(), 0, 1.0f, false, 0}));

TEST(RenderGeometry, CursorsAreIndependent)
{
    const SampleStore store = makeStore({0, 10}, {0, 0});
    RedrawInputs in = inputsFor(store, 60, 1.0f);
    const RedrawGeometry g = redraw(in); // XRefSample 50 (hidden), XAxisSample 100
    EXPECT_FALSE(g.line1.visible);
    EXPECT_TRUE(g.line2.visible);
    EXPECT_EQ(g.line2.x, 80.0f);
}

TEST(RenderGeometry, Label6ShowsViewStart)
{
    for (const auto &[v, text] : {std::pair{0, "0"}, std::pair{1, "1"}, std::pair{12345, "12345"},
                                  std::pair{32698, "32698"}}) {
        RedrawGeometry g;
        ComputeRedraw(RedrawInputs{nullptr, -1, v, 1.0f, false, 50, 100}, g);
        EXPECT_EQ(g.label6, QString::fromLatin1(text));
    }
}

TEST(RenderGeometry, NoCaptureDrawsNothingButPlacesCursorsAndLabel)
{
    const SampleStore store = makeStore({0, 10, 20}, {0, 255, 0});
    for (int32_t last : {-1, 0}) {
        RedrawGeometry g;
        g.segments.push_back({1, 1, 1, 1}); // left over from an earlier redraw
        RedrawInputs in = inputsFor(store, 0, 1.0f);
        in.lastSampleIndex = last;
        ComputeRedraw(in, g);
        EXPECT_TRUE(g.segments.empty()) << last;
        EXPECT_TRUE(g.line1.visible);
        EXPECT_EQ(g.line1.x, 90.0f);
        EXPECT_EQ(g.line2.x, 140.0f);
        EXPECT_EQ(g.label6, "0");
    }
    const SampleStore empty;
    RedrawInputs in = inputsFor(empty, 0, 1.0f);
    in.lastSampleIndex = 5;
    EXPECT_TRUE(redraw(in).segments.empty());
}

TEST(RenderGeometry, LastSampleIndexLimitsTheEntries)
{
    const SampleStore store = makeStore({0, 10, 20, 30}, {0, 255, 0, 255});
    RedrawInputs in = inputsFor(store, 0, 1.0f);
    in.lastSampleIndex = 2;
    const Segments segs = redraw(in).segments;
    ASSERT_EQ(segs.size(), 32u);
    EXPECT_EQ(segs.back(), (Segment{60, 259, 60, 287}));
}

TEST(RenderGeometry, RedrawReplacesAndReusesTheList)
{
    const SampleStore store = makeStore({0, 10, 20}, {0, 255, 0});
    RedrawGeometry g;
    ComputeRedraw(inputsFor(store, 0, 1.0f), g);
    const Segments first = g.segments;
    const size_t capacity = g.segments.capacity();
    const Segment *buffer = g.segments.data();
    ComputeRedraw(inputsFor(store, 0, 1.0f), g);
    EXPECT_EQ(g.segments, first);
    EXPECT_EQ(g.segments.capacity(), capacity);
    EXPECT_EQ(g.segments.data(), buffer);
}

TEST(RenderGeometry, MissingAnalogFieldReadsAsZero)
{
    const SampleStore store = makeStore({0, 10}, {0, 0}); // no field 2
    const Segments segs = redraw(inputsFor(store, 0, 1.0f, true)).segments;
    ASSERT_EQ(segs.size(), 18u);
    EXPECT_EQ(segs[16], (Segment{40, 440, 49, 440}));
    EXPECT_EQ(segs[17], (Segment{49, 440, 50, 440}));
}

TEST(RenderGeometry, RecordsBeyondTheStoreReadAsZero)
{
    const SampleStore store = makeStore({0, 10}, {0, 255});
    RedrawInputs in = inputsFor(store, 0, 1.0f);
    const Segments within = redraw(in).segments;
    in.lastSampleIndex = std::numeric_limits<int32_t>::max(); // must not walk 2^31 entries
    EXPECT_EQ(redraw(in).segments, within);

    // Entries 4 and 5 do not exist: all levels low, time stamp and analog 0.
    Segments direct;
    DrawWaveforms(direct, store, 5, 0.0f, 10.0f, 0, 1.0f, true);
    ASSERT_EQ(direct.size(), 18u);
    EXPECT_EQ(direct[0], (Segment{40, 35, 50, 35}));
    EXPECT_EQ(direct[15], (Segment{50, 287, 50, 287}));
    EXPECT_EQ(direct[16], (Segment{40, 440, 39, 440})); // x0 from time stamp 0: (0 - 0 - 1) * 1
    EXPECT_EQ(direct[17], (Segment{39, 440, 50, 440}));
}

TEST(RenderGeometry, FullCaptureAtTenthMagnification)
{
    // One entry per sample period, a change in every entry, Analog mode.
    const int32_t n = 32768;
    SampleStore store;
    store.create(3, n - 1);
    for (int32_t i = 0; i < n; ++i) {
        store.set(0, i, i);
        store.set(1, i, (i & 1) ? 0xFF : 0x00);
        store.set(2, i, i & 0xFF);
    }
    RedrawInputs in{&store, n - 1, 0, 0.1f, true, 50, 100};
    RedrawGeometry g;
    const auto start = std::chrono::steady_clock::now();
    ComputeRedraw(in, g);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Entries 1..7000 end inside the field (7000 * 0.1f is 700 as a float);
    // entry 7001 lies beyond it and is held to the edge; entry 7002 stops.
    ASSERT_EQ(g.segments.size(), 7000u * 18u + 9u);
    // Held: entry 7000's analog value 7000 & 0xFF = 88 at y 440 - 48.3 = 392.
    EXPECT_EQ(g.segments.back(), (Segment{740, 392, 740, 392}));
    EXPECT_EQ(g.segments[7000u * 18u], (Segment{740, 35, 740, 35}));
    EXPECT_EQ(g.segments[0], (Segment{40, 35, 40.1f, 35}));
    RecordProperty("redraw_us",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
}

} // namespace
