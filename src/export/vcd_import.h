#pragma once

#include <QByteArray>

#include "export/import_result.h"

// Reads a Value Change Dump (of this program or another tool) as a capture.
//
// - 1-bit variables (wire, reg, ...) are logic channels in the order they are
//   declared, the first eight of them; a real variable is the analog input in
//   volts (the first, if there are several). Wider vectors are left out.
// - With a real variable the capture is an Analog one, otherwise Logic (see
//   import_fit.h). The sample period is the slowest rate of that mode at
//   which every change in the part kept falls on a sample period, so a
//   timescale finer than the signals need costs nothing; the rate the file
//   notes (this program's own files) is taken when every change fits it.
// - The capture ends at the last time stamp; what lies beyond the longest
//   capture of the mode is cut off, with a message.
// - x and z levels are read as low, with a message.
ImportResult ImportVcd(const QByteArray &text);
