#pragma once

// Drivers shared by the property tests, the fuzz targets (tests/fuzz) and the
// replay of the inputs the fuzzers kept (tests/fuzz/regressions). Nothing here
// depends on GoogleTest, so the fuzz targets compile this file on their own.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

class Form1;
struct CaptureLoadContext;

namespace hostile {

// Seed of a property test run: LA_PROPERTY_SEED when set (to replay a run),
// otherwise a fresh random one.
uint64_t PropertySeed();

// The literal transaction states: 0 idle, then set0, set1, set2, set3,
// setmode, settrgv, run, stop, dataread, setread, NAC.
constexpr int kStateCount = 12;
const QString &TransactionState(int index); // index taken modulo kStateCount

// What a device press does to the shared state before it writes its
// command and waits: the drawing area is cleared, the capture is marked
// empty, PendingCommand gets the state and, for run, stop, dataread and
// setread, ReplyPos starts again. (A real press would block in its wait.)
void SimulatePress(Form1 &form, int stateIndex);

// What a Load does to the capture store: a new store with exactly records
// 0..last in the layout of the selected mode (no array for -1), and
// LastSampleIndex = last.
void SimulateLoad(Form1 &form, int32_t last);

// Back to the start-up state of the receive path: Logic mode, rate 0, range
// x1, full measurement length, view at 0, no capture, idle.
void ResetForm(Form1 &form);

// Empty when the shared state is consistent after received bytes or a Load:
//  - PendingCommand is one of the literal states;
//  - LastSampleIndex lies in -1..SampleData.upperBound(), so records
//    0..LastSampleIndex exist, with fields 0 and 1;
//  - with Analog mode selected and a record held, field 2 exists too.
// Otherwise a description of what is wrong.
std::string ReceiveInvariantViolation(const Form1 &form);

// Runs one fuzz input through the receive handler of `form` (which must be a
// detached, started window). The first byte picks the starting state and
// mode, the second the starting ReplyPos; the rest is a script of chunks and
// user actions (see hostile_input.cpp). The invariants are checked after every
// step; returns the first violation, empty when none.
std::string RunReceiveInput(Form1 &form, const uint8_t *data, size_t size);

// Runs one input as a capture file through CaptureFileReader (a mix of byte
// and long reads chosen by the input itself) and through ParseCaptureFile with
// a context taken from the input. Returns the first broken property, empty
// when none.
std::string RunCaptureFileInput(const uint8_t *data, size_t size);

// Checks what ParseCaptureFile produced against the context it was given;
// empty when consistent.
std::string ParsedCaptureViolation(const CaptureLoadContext &context, const QByteArray &text);

} // namespace hostile
