#pragma once

#include <QString>
#include <cstdint>

#include "acquire/instrument_setup.h"

// The values of the capture command's options, read into the settings the
// window's controls would hold. Each returns false with a one-line message
// (without the option's name) in `error` for anything the instrument does not
// have.

// A rate of the mode's list, as the list shows it ("20MHz", "500KHz") or in
// SI form ("500kHz", "0.5MHz"), any case, always with its unit.
bool ParseRateValue(const QString &text, bool analog, int *rateIndex, QString *error);

// A time with its unit ("1.5ms", "200us", "2s"; s, ms, us or µs, ns), in
// picoseconds (truncated below one). Must be above 0.
bool ParseTimeValue(const QString &text, int64_t *picoseconds, QString *error);

// The whole number of sample periods that fits in `picoseconds` at the
// setup's rate, at least one; false when that is beyond the mode's longest
// measurement.
bool PeriodsForTime(const InstrumentSetup &setup, int64_t picoseconds, int32_t *periods, QString *error);

// rise:CHn, fall:CHn, high:CHn, low:CHn, pattern:BBBB, pattern!=BBBB in Logic
// mode; rise, fall, high, low, free in Analog mode. Sets the kind, the
// condition and the channel or pattern the trigger names; the rest of the
// setup stays as it is.
bool ParseTriggerValue(const QString &text, InstrumentSetup *setup, QString *error);

// An analog trigger level in volts as the window's readout shows it ("2.51",
// "2.51V", "500mV"), 0 to 5 V, rounded to the nearest of the 256 steps; gives
// the trigger-level scroll bar's value.
bool ParseLevelValue(const QString &text, int *levelScroll, QString *error);

// A whole number in minimum..maximum.
bool ParseCountValue(const QString &text, int64_t minimum, int64_t maximum, int64_t *value, QString *error);
