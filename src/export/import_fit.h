#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

#include "capture/capture.h"
#include "export/capture_notes.h"
#include "export/import_result.h"

// Fitting samples read from a file to what the instrument records.
//
// - Logic-only data must have one of the Logic rates (20 MHz .. 100 kHz) and
//   becomes a Logic capture; data with an analog channel must have one of the
//   Analog rates (20 kHz .. 100 Hz) and becomes an Analog capture. The two
//   lists do not overlap, so the data decides the mode and nothing has to be
//   invented (no analog trace for logic data, no resampling).
// - At most 32768 sample periods in Logic mode (time stamps 0..32767) and
//   16384 in Analog mode (0..16383); the importers keep the first part of
//   longer data and say so.
// - Analog values are volts; they become converter counts in the input range
//   the file notes, or else in the smallest range (x0.2 .. x10) that holds
//   them all. Values below 0 V or above 50 V do not fit.

// The longest capture of a mode, in sample periods.
int32_t MaxImportSamples(bool analog);

// "20 MHz, 10 MHz, ..., 100 kHz": the rates of a mode, for messages.
QString RateListText(bool analog);

// One value per sample period, as the importers read it.
struct SampledSignals {
    uint64_t rateHz = 0;
    bool hasAnalog = false;
    std::vector<uint8_t> levels; // bit k = CH(k+1)
    std::vector<double> volts;   // same length as levels when hasAnalog
    CaptureNotes notes;
};

// The capture the samples make: Logic records one per change (the first at
// 0), Analog records one per sample period; measurement length = sample
// count; trigger and range as noted. `warnings` (from the importer) are
// handed on; refusals say what did not fit.
ImportResult FitSamples(const SampledSignals &samples, QStringList warnings);
