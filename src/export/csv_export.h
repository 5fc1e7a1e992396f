#pragma once

#include <QByteArray>

#include "capture/capture.h"

// Comma-separated values of a capture: ';' comment lines naming the program,
// mode, rate and trigger, a header row "time_s,CH1,...,CH8" (and "analog_V"
// in Analog mode), then one row per sample period with the exact time in
// seconds, the eight levels as 0/1 and the analog input in volts. sigrok
// reads it with -I csv:column_formats=t,8l (t,8l,a in Analog mode) and takes
// the sample rate from the time column; a spreadsheet sees an even time axis.
QByteArray CsvText(const Capture &capture);
