#pragma once

#include <QString>
#include <cstdint>

// The seven magnifications of the waveform view and the scroll arithmetic that
// follows them. Magnification is pixels per sample period; the waveform field
// is 700 pixels wide and starts at x = 40 of the drawing area.

struct MagnificationStep {
    QString label;       // text of Label1, e.g. "Mag ×10"
    float magnification; // pixels per sample period
};

// VScroll1 value 0..6 (top = "Mag ×10" .. bottom = "Mag 1/10"). Returns false
// and leaves *out alone for any other value.
bool LookupMagnification(int vscroll1Value, MagnificationStep *out);

// Maximum of HScroll1: the mode's largest measurement length minus the sample
// periods of 690 pixels, so at the largest view start the last possible time
// stamp sits 690 pixels into the field.
int HScrollMaximumFor(int sliderMaximum, float magnification);
// Page step of HScroll1: 100 * magnification sample periods.
int HScrollLargeStepFor(float magnification);
// Arrow step of HScroll1: 10 * magnification, never more than 10.
int HScrollSmallStepFor(float magnification);

// New view start that keeps the visible reference cursor where it is on the
// screen (line1X is the x it still has from the old magnification). Never
// negative; not limited above - the caller clamps to the scroll maximum.
int32_t ViewStartHoldingCursor(int32_t xRefSample, float line1X, float newMagnification);

// New view start that keeps the relative scroll position when the reference
// cursor is hidden: currentValue * newMaximum / oldMaximum.
int ViewStartScaled(int currentValue, int newMaximum, int oldMaximum);

// Time stamp under screen x for a cursor being dragged.
int32_t CursorSampleFromX(double x, float magnification, int viewStart);
