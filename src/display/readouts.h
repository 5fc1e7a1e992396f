#pragma once

#include <QString>
#include <cstdint>

// Texts of the measurement readouts: times and frequencies between the time
// cursors (and of measurement lengths), voltages between the voltage cursors
// and the analog trigger level.
//
// Number patterns. "0.###" and "0.##" print at least one integer digit and at
// most three (two) decimals; trailing zeros and a bare trailing point are
// dropped, the separator is '.', negatives get a leading '-', and a value that
// rounds to zero prints "0" (never "-0").
//
// Rounding works on decimal digits, not on the binary value: the number is
// first written with the digits its type carries (15 significant digits for a
// double, 7 for a float), and that digit string is rounded half away from
// zero. So a float time of 1.0005 ms shows as "1.001", although the nearest
// float lies just below 1.0005; what the user reads never depends on binary
// noise beyond the type's precision.

// Double value: 15 significant digits, then rounded to maxDecimals (0..9).
QString FormatNumber(double value, int maxDecimals);
// Float value: 7 significant digits, then rounded to maxDecimals (0..9).
QString FormatSingleNumber(float value, int maxDecimals);

// The time (and optionally frequency) text for `count` sample periods of
// `samplePeriodUs` microseconds each, e.g. "3.5us    285.714kHz", "1.638ms",
// "163.83s". The frequency part is only added when withFrequency is set and
// the time is not zero.
QString UpdateReadoutsText(float samplePeriodUs, int32_t count, bool withFrequency);

// Voltage between the reference cursor (y of Line4) and the measuring cursor
// (y of Line5): positive when the measuring cursor is above, e.g. "2.5V".
QString VoltageText(float yLine4, float yLine5, float voltageScale);

// The analog trigger level shown under "Trigger" for a VScroll2 value
// (0 = top = 255 counts), e.g. "2.51V" for 127 at scale 1.
QString TriggerLevelText(int vscroll2Value, float voltageScale);
