#include "display/magnification.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

// Rounds to the nearest integer, ties to even, saturating at the int32 range
// (and mapping NaN to 0) so that a degenerate input can never reach an
// undefined float-to-int conversion.
int32_t roundToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

} // namespace

bool LookupMagnification(int vscroll1Value, MagnificationStep *out)
{
    struct Row {
        const char16_t *label;
        float magnification;
    };
    static constexpr Row kTable[] = {
        {u"Mag \u00D710", 10.0f}, {u"Mag \u00D75", 5.0f},  {u"Mag \u00D72", 2.0f},
        {u"Mag \u00D71", 1.0f},   {u"Mag 1/2", 0.5f},      {u"Mag 1/5", 0.2f},
        {u"Mag 1/10", 0.1f},
    };
    if (vscroll1Value < 0 || vscroll1Value >= static_cast<int>(std::size(kTable)))
        return false;
    if (out) {
        out->label = QString::fromUtf16(kTable[vscroll1Value].label);
        out->magnification = kTable[vscroll1Value].magnification;
    }
    return true;
}

// 690 / magnification in double: 690 / 0.1f is 6899.99989..., which rounds to
// the 25867 / 9483 the scroll range is known by.
int HScrollMaximumFor(int sliderMaximum, float magnification)
{
    return roundToInt32(static_cast<double>(sliderMaximum) - 690.0 / static_cast<double>(magnification));
}

int HScrollLargeStepFor(float magnification)
{
    return roundToInt32(static_cast<double>(100.0f * magnification));
}

int HScrollSmallStepFor(float magnification)
{
    return std::min(roundToInt32(static_cast<double>(10.0f * magnification)), 10);
}

int32_t ViewStartHoldingCursor(int32_t xRefSample, float line1X, float newMagnification)
{
    const double start = static_cast<double>(xRefSample)
        - (static_cast<double>(line1X) - 40.0) / static_cast<double>(newMagnification);
    return std::max(roundToInt32(start), 0);
}

// The product is taken in 32 bits: both factors are scroll values (16 bits),
// so it cannot overflow. A zero old maximum can only come from a scroll bar
// whose range was empty, whose value then was 0: there is no relative
// position to keep, and dividing would fail, so the current value is kept
// within the new range instead.
int ViewStartScaled(int currentValue, int newMaximum, int oldMaximum)
{
    if (oldMaximum == 0)
        return std::clamp(currentValue, 0, std::max(newMaximum, 0));
    const int32_t product = static_cast<int32_t>(currentValue) * static_cast<int32_t>(newMaximum);
    return roundToInt32(static_cast<double>(product) / static_cast<double>(oldMaximum));
}

int32_t CursorSampleFromX(double x, float magnification, int viewStart)
{
    return roundToInt32((x - 40.0) / static_cast<double>(magnification) + static_cast<double>(viewStart));
}
