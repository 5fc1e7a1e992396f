#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "app/sample_store.h"

// Geometry of a redraw of the waveform view, kept apart from the widget so the
// picture only paints the list it is given. Coordinates are drawing-area
// pixels (origin top left); the waveform field is x = 40..740, the logic band
// of channel k is y = 36k..36k+36, the analog band y = 300..440.

struct Segment {
    float x1, y1, x2, y2; // all traces are black, one pixel wide
};

struct CursorPlacement {
    bool visible;
    float x; // both end points; meaningful only when visible
};

struct RedrawInputs {
    const SampleStore *data;   // may be null: nothing to draw
    int32_t lastSampleIndex;   // -1 = no capture
    int viewStart;             // value of HScroll1
    float magnification;       // pixels per sample period
    bool analog;               // Analog mode selected: the analog trace is drawn too
    int32_t xRefSample;        // reference time cursor (Line1)
    int32_t xAxisSample;       // measuring time cursor (Line2)
};

struct RedrawGeometry {
    std::vector<Segment> segments;
    CursorPlacement line1{false, 0.0f};
    CursorPlacement line2{false, 0.0f};
    QString label6; // caption under the drawing area: the view start
};

// Appends the lines of the segment from entry i-1 to entry i of every trace:
// per channel k = 0..7 the held level of entry i-1 and then the edge to the
// level of entry i (only the held level, up to x = 740, when x2 > 700); in
// analog mode then the analog hold and ramp. x1 and x2 are the field offsets
// of entries i-1 and i (TimeToX). Values outside the store read as 0.
void DrawWaveforms(std::vector<Segment> &out, const SampleStore &data, int32_t i, float x1,
                   float x2, int viewStart, float magnification, bool analog);

// The whole redraw: the segments of every entry pair in view, the two time
// cursors and the view-start caption. Clears and refills `out`, keeping the
// capacity of its segment list.
void ComputeRedraw(const RedrawInputs &in, RedrawGeometry &out);

// y of channel k (0..7) for the given levels: 36k + 35 - 28 * bit k
// (another channel number has no bit and reads as low).
float LogicY(int channel, int32_t levels);
// y of an analog sample: 440 - (a * 140) / 255, rounded ties to even.
float AnalogY(int32_t value);
// Offset from the field's left edge (screen x minus 40) of time stamp t:
// (t - v) * magnification, computed in double and stored as float.
float TimeToX(int32_t t, int viewStart, float magnification);
