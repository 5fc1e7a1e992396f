#pragma once

#include <QByteArray>

#include "export/import_result.h"

// Reads comma-separated values (of this program, sigrok or a spreadsheet) as
// a capture.
//
// - Lines starting with ';' are comments (as in sigrok); the notes this
//   program writes there, and sigrok's "Samplerate:" line, are read.
// - The first line may name the columns. A column named "t", "time_s",
//   "time_us", sigrok's "nanoseconds" and the like is the time in that unit; a column whose values are all 0 and 1 is a logic
//   channel unless its name says volts or analog ("analog_V", "V DC");
//   any other numeric column is analog, in volts. The first eight logic
//   columns are CH1..CH8, the first analog column the analog input.
// - With a time column each row holds from its time (relative to the first
//   row) to the next row's, as a VCD's changes do: the rate is the noted one
//   when every row falls on its periods, else the slowest rate of the mode
//   on whose periods every row falls. Without a time column there is one row
//   per sample and the rate must be noted, and be one of the mode's rates.
ImportResult ImportCsv(const QByteArray &text);
