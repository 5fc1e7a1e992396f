#pragma once

#include <QRgb>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "panels/overview_columns.h"

class QImage;
class QPainter;
struct DecodeResult;

// Where things lie in the overview band, in the band's pixels. The field
// (the columns) starts at `fieldLeft`, under the traces' x = 40, and is as
// wide as the traces' field. From the top: a lane for each of CH1..CH8, in
// Analog mode the analog lane, then a lane for each decoder (one lane,
// "Decode", without decoders).
struct OverviewLayout {
    static constexpr int kTop = 3;
    static constexpr int kLanePitch = 8;  // a channel's lane and the gap under it
    static constexpr int kLaneHeight = 7; // high level on its second row, low on its last
    static constexpr int kAnalogGap = 3;
    static constexpr int kAnalogHeight = 29; // count 255 on its first row, 0 on its last
    static constexpr int kTickGap = 3;
    static constexpr int kTickHeight = 6;
    static constexpr int kTickPitch = 8; // a decoder's lane and the gap under it
    static constexpr int kBottom = 3; // the last row is a line that parts the band from the window

    int fieldLeft = 46;
    int width = 700;
    bool analog = false;
    int tickLanes = 1;

    int laneTop(int channel) const { return kTop + channel * kLanePitch; }
    int highY(int channel) const { return laneTop(channel) + 1; }
    int lowY(int channel) const { return laneTop(channel) + kLaneHeight - 1; }
    int lanesBottom() const { return laneTop(7) + kLaneHeight; }
    int analogTop() const { return lanesBottom() + kAnalogGap; }
    int analogY(int count) const;
    int tickTop(int lane = 0) const
    {
        return (analog ? analogTop() + kAnalogHeight : lanesBottom()) + kTickGap + lane * kTickPitch;
    }
    int height() const { return tickTop(tickLanes - 1) + kTickHeight + kBottom; }
};

struct OverviewColors {
    QRgb background = qRgb(255, 255, 225);
    QRgb text = qRgb(0, 0, 0);
    QRgb trace = qRgb(0, 0, 0);        // levels, single edges, the analog envelope
    QRgb busy = qRgb(72, 104, 196);    // a column with several changes of a channel
    QRgb toCome = qRgb(176, 176, 176); // hatching over the part not yet received
    QRgb view = qRgb(0, 96, 210);      // the part in view: outline, and a light fill
    int viewFillAlpha = 48;
    QRgb referenceCursor = qRgb(0, 0, 0);
    QRgb measuringCursor = qRgb(255, 0, 0);
    QRgb separator = qRgb(160, 160, 160);
};

// The decoders' ticks: a lane per decoder instance, named as the instance
// ("uart-1"); per column, the colour of an annotation of the instance that
// starts there (warnings and errors before the rest), 0 where none does.
struct OverviewTicks {
    std::vector<QString> names;
    std::vector<std::vector<QRgb>> lanes;
    int laneCount() const { return std::max<int>(1, int(names.size())); }
};
// No lanes without a result; names but no ticks without a scale.
OverviewTicks OverviewTickColors(const DecodeResult *result, const OverviewScale &scale);

// The band without a capture: its ground, the lanes' names in the margin left
// of the field (the decoders' from `tickNames`, "Decode" when there are
// none) and the line under it. `image` is the band's size (RGB32).
void PaintOverviewBackground(QImage &image, const OverviewLayout &layout,
                             const OverviewColors &colors = OverviewColors(),
                             const std::vector<QString> &tickNames = {});

// Paints the columns over that background: levels, single edges, activity
// marks, the analog envelope, the decoders' ticks and, when the capture is
// still arriving, hatching over the part not yet received. Pixels are
// written straight into the image: the band is redrawn up to 25 times a
// second while a capture arrives.
void PaintOverviewColumns(QImage &image, const OverviewLayout &layout, const OverviewColumns &columns,
                          const OverviewTicks &ticks, const OverviewColors &colors = OverviewColors());

// The part of the capture in view, [x0, x1) in field pixels: the samples
// viewStart .. viewStart + 700 / magnification, at least 3 pixels wide so
// it can be seen and grabbed; clipped to the field.
struct OverviewSpan {
    int x0 = 0, x1 = 0;
    bool isEmpty() const { return x1 <= x0; }
};
OverviewSpan OverviewViewSpan(const OverviewScale &scale, int viewStart, float magnification);
// The field column of a time cursor, -1 when it lies outside the capture.
int OverviewCursorColumn(const OverviewScale &scale, int32_t sample);

struct OverviewView {
    int viewStart = 0;
    float magnification = 1;
    int32_t referenceCursor = 0; // XRefSample
    int32_t measuringCursor = 0; // XAxisSample
};

// Paints what follows the view over the columns: the time cursors as lines
// and the part in view as a rectangle.
void PaintOverviewView(QPainter &painter, const OverviewLayout &layout, const OverviewScale &scale,
                       const OverviewView &view, const OverviewColors &colors = OverviewColors());
