#pragma once

// The importers' properties, shared by the export tests, the fuzz target
// fuzz_import and the replay of its kept inputs. Nothing here depends on
// GoogleTest, so the fuzz target compiles this file on its own.

#include <cstddef>
#include <cstdint>
#include <string>

#include "capture/capture.h"

namespace hostile {

// The capture in the form every importer returns: Logic records one per
// level change starting at 0, Analog records one per sample period, and the
// measurement length equal to the sample count.
Capture ImportNormalForm(const Capture &capture);

// Empty when both captures have the same mode, rate, sample count, records,
// range and trigger; otherwise what differs.
std::string CaptureDifference(const Capture &expected, const Capture &actual);

// Empty when an imported capture keeps the importers' promises: within the
// mode's limit, a listed rate, records in normal form.
std::string ImportedCaptureViolation(const Capture &capture);

// Runs one fuzz input through an importer (the first byte picks .log, .vcd,
// .csv or .sr; the rest is the file). A refusal must say why; an accepted
// capture must keep the promises above and come back unchanged when it is
// exported to the same format and read again. Returns the first broken
// property, empty when none.
std::string RunImportInput(const uint8_t *data, size_t size);

} // namespace hostile
