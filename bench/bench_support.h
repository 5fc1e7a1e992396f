#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/form1.h"

// Shared pieces of the benchmarks: windows without a device, worst-case
// sample streams and the measuring helpers.
namespace bench {

constexpr int32_t kLogicRecords = 32768;  // a full Logic capture: time stamps 0..32767
constexpr int32_t kAnalogRecords = 16384; // a full Analog capture: time stamps 0..16383
constexpr double kLineByteSeconds = 10.0 / 115200.0; // one byte on the serial line

// A started window with no serial device, in Logic or Analog mode.
// Closing it does not end the program.
std::unique_ptr<Form1> MakeForm(bool analog, bool show = true);
// A started window on a serial device path (a pseudo-terminal).
std::unique_ptr<Form1> MakeFormOnPort(const QString &device, bool show = true);

// Sample stream STX, records, end byte, with one record per sample period and
// every logic channel changing level in every period (the most the renderer
// ever has to draw). Logic records are 3 bytes, Analog records 4.
QByteArray WorstCaseStream(bool analog, int32_t records);

// Fills the window's store with the stream through the receive handler, as a
// read from the instrument does.
void ReceiveStream(Form1 &form, const QByteArray &stream, int chunkSize = 0);

// Process CPU time (user + system) in seconds, and peak resident memory.
double ProcessCpuSeconds();
long PeakResidentKiB();

// Label text of a figure ("3.21 ns/B"), and of a figure against its target
// ("3.21 ns/B (target <= 10): met").
std::string Figure(double value, const char *unit);
std::string Verdict(double value, double target, const char *unit);

// Start-up probe: the program started with this argument builds the window
// as the application does, reports on stdout when it is shown (ms since main()
// began) and then the peak resident memory with a full Analog capture drawn.
constexpr const char *kStartupProbeArg = "--startup-probe";
int RunStartupProbe(int argc, char **argv, std::chrono::steady_clock::time_point mainStart);

// Pumps pending events until none are left (a few rounds).
void DrainEvents();

} // namespace bench
