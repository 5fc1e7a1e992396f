#include "display/readouts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kDoubleDigits = 15; // significant digits a double shows as text
constexpr int kSingleDigits = 7;  // significant digits a float shows as text

// Rounds |value| to `significant` decimal digits (the text the number has at
// its own precision), then rounds that digit string half away from zero to
// `maxDecimals` decimals and prints it without trailing zeros.
QString formatDigits(double value, int significant, int maxDecimals)
{
    if (!std::isfinite(value)) // no readout produces one; print something honest
        return QString::number(value);
    maxDecimals = std::clamp(maxDecimals, 0, 9);
    if (value == 0.0)
        return QStringLiteral("0");

    // "d.dddddde+XX": the significant digits and the power of ten of the first.
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, std::fabs(value));
    char digits[24];
    int len = 0;
    const char *p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits[len++] = *p;
    }
    int exponent = (*p == 'e') ? std::atoi(p + 1) : 0; // position of digits[0]

    // Digits at or above the last decimal kept; the next one decides.
    const int keep = exponent + 1 + maxDecimals;
    if (keep < 0)
        return QStringLiteral("0");
    if (keep < len) {
        const bool up = digits[keep] >= '5';
        len = keep;
        if (up) {
            int k = len - 1;
            while (k >= 0 && digits[k] == '9')
                digits[k--] = '0';
            if (k >= 0) {
                ++digits[k];
            } else {
                // Carried out of the first digit (or nothing was kept):
                // the number becomes 1 at the next higher power of ten.
                std::fill(digits, digits + len, '0');
                digits[0] = '1';
                if (len == 0)
                    len = 1;
                ++exponent;
            }
        }
    }
    while (len > 0 && digits[len - 1] == '0')
        --len;
    if (len == 0)
        return QStringLiteral("0"); // rounds to zero: no sign

    QString out;
    out.reserve(24);
    if (value < 0)
        out += QLatin1Char('-');
    if (exponent >= 0) {
        for (int k = 0; k <= exponent; ++k)
            out += QLatin1Char(k < len ? digits[k] : '0');
        if (len > exponent + 1) {
            out += QLatin1Char('.');
            for (int k = exponent + 1; k < len; ++k)
                out += QLatin1Char(digits[k]);
        }
    } else {
        out += QLatin1String("0.");
        for (int k = 0; k < -exponent - 1; ++k)
            out += QLatin1Char('0');
        for (int k = 0; k < len; ++k)
            out += QLatin1Char(digits[k]);
    }
    return out;
}

} // namespace

QString FormatNumber(double value, int maxDecimals)
{
    return formatDigits(value, kDoubleDigits, maxDecimals);
}

QString FormatSingleNumber(float value, int maxDecimals)
{
    return formatDigits(static_cast<double>(value), kSingleDigits, maxDecimals);
}

// Precision of each step. The rule throughout the readouts: a float combined
// with a float or a small (16-bit) constant stays a float; combined with a
// 32-bit constant it becomes a double.
//  - t = period * count: the count is widened to double, the product is
//    stored as a float, so every later step starts from a float t.
//  - seconds: t / 1000000 (32-bit constant) is a double division; printed
//    as a double.
//  - milliseconds: t / 1000 (16-bit constant) stays a float division;
//    printed as a float.
//  - microseconds: t itself, a float.
//  - frequencies: 1000000 / a is a double division, 1000 / a and 1 / a are
//    float divisions; each is printed at its own precision.
QString UpdateReadoutsText(float samplePeriodUs, int32_t count, bool withFrequency)
{
    const float t = static_cast<float>(static_cast<double>(samplePeriodUs) * static_cast<double>(count));
    const float a = std::fabs(t);

    enum class Band { Seconds, Milliseconds, Microseconds };
    Band band;
    QString text;
    if (a > 999999.0f) {
        band = Band::Seconds;
        text = FormatNumber(static_cast<double>(t) / 1000000.0, 3) + QLatin1String("s");
    } else if (a > 999.0f) {
        band = Band::Milliseconds;
        text = FormatSingleNumber(t / 1000.0f, 3) + QLatin1String("ms");
    } else {
        band = Band::Microseconds;
        text = FormatSingleNumber(t, 2) + QLatin1String("us");
    }

    if (!withFrequency || !(a > 0.0f))
        return text;

    text += QLatin1String("    ");
    switch (band) {
    case Band::Seconds:
        text += FormatNumber(1000000.0 / static_cast<double>(a), 3) + QLatin1String("Hz");
        break;
    case Band::Milliseconds:
        if (a > 1000.0f)
            text += FormatNumber(1000000.0 / static_cast<double>(a), 3) + QLatin1String("Hz");
        else
            text += FormatSingleNumber(1000.0f / a, 3) + QLatin1String("KHz");
        break;
    case Band::Microseconds:
        if (a >= 2.0f)
            text += FormatSingleNumber(1000.0f / a, 3) + QLatin1String("kHz");
        else
            text += FormatSingleNumber(1.0f / a, 3) + QLatin1String("MHz");
        break;
    }
    return text;
}

// 140 pixels of the analog band are 255 counts, which are 5 V times the range
// factor; every step is a float operation, left to right.
QString VoltageText(float yLine4, float yLine5, float voltageScale)
{
    const float u = (yLine4 - yLine5) * 5.0f * voltageScale / 140.0f;
    return FormatSingleNumber(u, 3) + QLatin1String("V");
}

// The scroll bar's top end is the highest level. c * 5 is a short product
// (at most 1275 over the bar's range 0..255); scaling and division are float.
QString TriggerLevelText(int vscroll2Value, float voltageScale)
{
    const int counts = 255 - vscroll2Value;
    const float level = static_cast<float>(counts * 5) * voltageScale / 255.0f;
    return FormatSingleNumber(level, 2) + QLatin1String("V");
}
