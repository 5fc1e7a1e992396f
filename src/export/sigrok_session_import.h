#pragma once

#include <QByteArray>

#include "export/import_result.h"

// Reads a sigrok session file (.sr, format version 2; PulseView's and
// sigrok-cli's, or this program's) as a capture.
//
// - Device 1 is read: its first eight logic probes (bit 0..7 of each unit)
//   are CH1..CH8, its first analog channel the analog input in volts.
// - With an analog channel the capture is an Analog one, otherwise Logic
//   (see import_fit.h); the sample rate must be one of that mode's rates.
// - Entries are read only as far as the longest capture of the mode reaches,
//   so an entry that unpacks to far more costs nothing; the rest is cut off
//   with a message.
ImportResult ImportSigrokSession(const QByteArray &archive);
