#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>

#include "capture/capture.h"

// Value Change Dump of a capture, for GTKWave, sigrok and other waveform
// viewers. Times are whole multiples of the timescale (the largest
// 1/10/100 s/ms/us/ns/ps step that divides the sample period); CH1..CH8 are
// 1-bit wires and, in Analog mode, the analog input a real variable in
// volts. After the initial values at #0 only changes are written, and a last
// time stamp marks the end of the measurement.
QByteArray VcdText(const Capture &capture, const QDateTime &written = QDateTime::currentDateTime());

// The timescale of a sample period: its size in ps and its text ("10 ns").
struct VcdTimescale {
    int64_t ps = 1;
    const char *text = "1 ps";
};
VcdTimescale VcdTimescaleFor(int64_t samplePeriodPs);
