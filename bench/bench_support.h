#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/form1.h"
#include "frame/main_window.h"

// Shared pieces of the benchmarks: windows without a device, worst-case
// sample streams and the measuring helpers.
namespace bench {

constexpr int32_t kLogicRecords = 32768;  // a full Logic capture: time stamps 0..32767
constexpr int32_t kAnalogRecords = 16384; // a full Analog capture: time stamps 0..16383
constexpr double kLineByteSeconds = 10.0 / 115200.0; // one byte on the serial line

// A started window with no serial device, in Logic or Analog mode.
// Closing it does not end the program.
std::unique_ptr<Form1> MakeForm(bool analog, bool show = true);
// The same window inside the program's frame (menus, status bar), as the
// program shows it.
std::unique_ptr<MainWindow> MakeFramedForm(bool analog, bool show = true);
// A started window on a serial device path (a pseudo-terminal).
std::unique_ptr<Form1> MakeFormOnPort(const QString &device, bool show = true);

// Sample stream STX, records, end byte, with one record per sample period and
// every logic channel changing level in every period (the most the renderer
// ever has to draw). Logic records are 3 bytes, Analog records 4.
QByteArray WorstCaseStream(bool analog, int32_t records);

// Fills the window's store with the stream through the receive handler, as a
// read from the instrument does.
void ReceiveStream(Form1 &form, const QByteArray &stream, int chunkSize = 0);

// Process CPU time (user + system) in seconds, and peak resident memory in KiB.
double ProcessCpuSeconds();
// CPU time of the calling thread, in seconds.
double ThreadCpuSeconds();

// Wall-clock and CPU time of this thread over a stretch of code. The machine
// the benchmarks run on may be busy with other work: the thread's CPU time is
// what the code itself costs, the wall-clock time what a user would wait.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart()
    {
        wall0_ = std::chrono::steady_clock::now();
        cpu0_ = ThreadCpuSeconds();
    }
    double wallSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0_).count();
    }
    double cpuSeconds() const { return ThreadCpuSeconds() - cpu0_; }

private:
    std::chrono::steady_clock::time_point wall0_;
    double cpu0_ = 0;
};
long PeakResidentKiB();

// Label text of a figure ("3.21 ns/B"), and of a figure against its target
// ("3.21 ns/B (target <= 10): met").
std::string Figure(double value, const char *unit);
std::string Verdict(double value, double target, const char *unit);
// The same for code whose cost is CPU work: judged by the thread's CPU time,
// with the wall-clock time beside it ("cpu 2.1 ms, wall 2.3 ms (target <= 4): met").
std::string CpuVerdict(double cpu, double wall, double target, const char *unit);

// Start-up probe: the program started with this argument builds the window
// as the application does, reports on stdout when it is shown (ms since main()
// began) and then the peak resident memory with a full Analog capture drawn.
constexpr const char *kStartupProbeArg = "--startup-probe";
int RunStartupProbe(int argc, char **argv, std::chrono::steady_clock::time_point mainStart);

// Pumps pending events until none are left (a few rounds).
void DrainEvents();

} // namespace bench
