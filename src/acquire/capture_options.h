#pragma once

#include <QString>
#include <QStringList>

#include "acquire/instrument_setup.h"

// logic-analyzer --capture OUT [--port DEVICE | --simulate] [options]: what
// the command line asks of one run.
struct CaptureOptions {
    QString output;              // OUT: .log, .vcd, .csv or .sr
    QString port;                // --port DEVICE; empty: port 1 of the machine
    bool simulate = false;       // --simulate
    bool simPacing = true;       // --sim-no-pacing turns it off
    double simTimeScale = 1.0;   // --sim-time-scale X
    InstrumentSetup setup;       // --mode, --rate, --samples / --time, --trigger, --level
    int count = 0;               // --count N: N captures into NAME-001.EXT ...; 0: one into OUT
    double waitSeconds = -1;     // --wait SECONDS; below 0: wait for the trigger for ever
    bool quiet = false;          // --quiet: no progress line
    QStringList decoders;        // --decode SPEC (repeatable)
    QString decodeFormat;        // --decode-format csv
    double decodeTimeout = -1;   // --decode-timeout SECONDS (0: none); -1: the default
    qint64 decodeMaxAnnotations = -1; // --decode-max-annotations N (0: none); -1: the default
    bool detect = false;         // --detect
    bool help = false;
    bool version = false;
    QString error;               // one line when the command line is not understood
};

// True when the arguments ask for a capture (--capture anywhere).
bool IsCaptureCommand(const QStringList &arguments);

// Reads the whole command line of a capture (arguments[0] is the program).
// Options may be written "--rate 1MHz" or "--rate=1MHz".
CaptureOptions ParseCaptureOptions(const QStringList &arguments);

// The file the capture number `index` (1..count) goes to: OUT itself without
// --count, else NAME-001.EXT ..., the number as wide as `count` needs.
QString CaptureOutputPath(const QString &output, int index, int count);
