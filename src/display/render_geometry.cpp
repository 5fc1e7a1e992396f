#include "display/render_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFieldLeft = 40.0f;   // screen x of field offset 0
constexpr float kFieldRight = 740.0f; // screen x where a held level ends
constexpr float kFieldWidth = 700.0f; // offsets beyond this lie right of the field

// One field of the store as a bounds-checked view. The redraw relies on the
// parts that fill the store to provide every record up to LastSampleIndex
// (and the analog field in Analog mode); should that ever not hold, a missing
// value reads as 0 instead of reading outside the store.
struct Column {
    const int32_t *values = nullptr;
    int32_t size = 0; // readable records 0..size-1

    int32_t operator[](int32_t i) const
    {
        return static_cast<uint32_t>(i) < static_cast<uint32_t>(size) ? values[i] : 0;
    }
};

struct Columns {
    Column time, levels, analog;
};

Column columnOf(const SampleStore &store, int field)
{
    Column c;
    if (field < store.fieldCount() && store.upperBound() >= 0) {
        c.values = store.fieldData(field);
        c.size = store.upperBound() + 1;
    }
    return c;
}

Columns columnsOf(const SampleStore &store)
{
    return {columnOf(store, 0), columnOf(store, 1), columnOf(store, 2)};
}

// The difference is taken in 64 bits so that time stamps from a damaged file
// cannot overflow; for every real capture it is the plain 32-bit difference.
inline float offsetOf(int64_t periods, float magnification)
{
    return static_cast<float>(static_cast<double>(periods) * static_cast<double>(magnification));
}

inline float logicY(int channel, int32_t levels)
{
    return static_cast<float>(36 * channel + 35 - 28 * ((levels >> channel) & 1));
}

inline float analogY(int32_t value)
{
    // a * 140 in 64 bits: only counts 0..255 are meaningful, but no stored
    // value may overflow the product.
    const double scaled = static_cast<double>(static_cast<int64_t>(value) * 140) / 255.0;
    return static_cast<float>(std::nearbyint(440.0 - scaled));
}

// Lines of one segment (entry i-1 to entry i). At most 8 * 2 logic lines and
// 2 analog lines; they are gathered on the stack and appended in one go.
void appendSegments(std::vector<Segment> &out, const Columns &c, int32_t i, float x1, float x2,
                    int viewStart, float magnification, bool analog)
{
    Segment lines[18];
    int n = 0;

    const float xs = (x1 < 0.0f ? 0.0f : x1) + kFieldLeft;
    const bool beyondField = x2 > kFieldWidth;
    const float xe = x2 + kFieldLeft;
    const int32_t before = c.levels[i - 1];
    const int32_t after = c.levels[i];

    if (beyondField) {
        // Entry i lies right of the field: entry i-1's level runs to the edge.
        for (int k = 0; k < 8; ++k) {
            const float y1 = logicY(k, before);
            lines[n++] = {xs, y1, kFieldRight, y1};
        }
    } else {
        for (int k = 0; k < 8; ++k) {
            const float y1 = logicY(k, before);
            const float y2 = logicY(k, after);
            lines[n++] = {xs, y1, xe, y1};
            lines[n++] = {xe, y1, xe, y2}; // drawn even without a change
        }
    }

    if (analog) {
        const float ya1 = analogY(c.analog[i - 1]);
        if (beyondField) {
            lines[n++] = {xs, ya1, kFieldRight, ya1};
        } else {
            const float ya2 = analogY(c.analog[i]);
            // Hold until one period before entry i, then ramp to it. x0 is not
            // clipped: with a predecessor left of the view at high
            // magnification the ramp may start left of the field.
            const float x0 = offsetOf(static_cast<int64_t>(c.time[i]) - viewStart - 1, magnification)
                + kFieldLeft;
            lines[n++] = {xs, ya1, x0, ya1};
            lines[n++] = {x0, ya1, xe, ya2};
        }
    }

    out.insert(out.end(), lines, lines + n);
}

CursorPlacement placeCursor(int32_t sample, int viewStart, float magnification)
{
    const int64_t d = static_cast<int64_t>(sample) - viewStart;
    if (d < 0)
        return {false, 0.0f};
    // Same arithmetic as the traces, so a cursor on an edge's time stamp lies
    // exactly on that edge. Right of the field it is placed beyond x = 740 and
    // left to the drawing area's border to cut off.
    return {true, offsetOf(d, magnification) + kFieldLeft};
}

} // namespace

float LogicY(int channel, int32_t levels)
{
    if (channel < 0 || channel > 7)
        return static_cast<float>(36 * channel + 35);
    return logicY(channel, levels);
}

float AnalogY(int32_t value)
{
    return analogY(value);
}

float TimeToX(int32_t t, int viewStart, float magnification)
{
    return offsetOf(static_cast<int64_t>(t) - viewStart, magnification);
}

void DrawWaveforms(std::vector<Segment> &out, const SampleStore &data, int32_t i, float x1,
                   float x2, int viewStart, float magnification, bool analog)
{
    appendSegments(out, columnsOf(data), i, x1, x2, viewStart, magnification, analog);
}

void ComputeRedraw(const RedrawInputs &in, RedrawGeometry &out)
{
    out.segments.clear();
    const int v = in.viewStart;
    const float mag = in.magnification;

    if (in.data && in.lastSampleIndex >= 1) {
        const Columns c = columnsOf(*in.data);
        // Past the store's last record every time stamp reads 0, so from
        // there on x1 == x2 and nothing more could be drawn: stopping at the
        // store's end gives the same picture without walking a bogus range.
        const int32_t last = std::min(in.lastSampleIndex, c.time.size);

        // x1 of entry i is x2 of entry i-1: each time stamp is mapped once.
        float x1 = offsetOf(static_cast<int64_t>(c.time[0]) - v, mag);
        for (int32_t i = 1; i <= last; ++i) {
            const float x2 = offsetOf(static_cast<int64_t>(c.time[i]) - v, mag);
            if (x1 > kFieldWidth)
                break; // this entry and all later ones lie right of the field
            if (x2 > 0.0f && x1 < x2)
                appendSegments(out.segments, c, i, x1, x2, v, mag, in.analog);
            x1 = x2;
        }
    }

    out.line1 = placeCursor(in.xRefSample, v, mag);
    out.line2 = placeCursor(in.xAxisSample, v, mag);
    out.label6 = QString::number(v);
}
