#pragma once

// Watches one decoding run (or the loading of decoders) for the files of
// src/decode only.
//
// The library runs each decoder's Python code on a thread of its own and the
// thread driving the run waits for it inside the library, so a decoder that
// loops for ever holds the run for ever: no check between chunks of samples
// is ever reached. A watchdog thread per run therefore stops it from outside:
// when the run's control is stopped (or its time runs out) while the driver
// is inside the library, it raises an exception (DecodingStopped, not an
// Exception, so a decoder's `except Exception` does not swallow it) in every
// thread that is running Python code, and again every 50 ms while the same
// library call goes on. The decoder leaves its Python code at its next bytecode and
// the library call returns with an error.

#include <QString>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "decode/decode_limits.h"

namespace decode_internal {

// Whether a message the library logged is the trace of our own interruption.
bool IsInterruptionMessage(const QString &text);

class RunGuard {
public:
    // Watches the run driven by the calling thread; with timeLimitSeconds > 0
    // the control is stopped with TimeLimit when the time runs out. The
    // caller holds the library lock.
    RunGuard(DecodeControl &control, double timeLimitSeconds);
    // Ends the watch and takes back an interruption still pending on the
    // calling thread, so it cannot go off in later Python code.
    ~RunGuard();
    RunGuard(const RunGuard &) = delete;
    RunGuard &operator=(const RunGuard &) = delete;

    // The driver goes into the library on behalf of `part` (a stack of the
    // run, a decoder being loaded), and comes back.
    void enter(int part);
    void leave();

    // The part that was in the library when the run was stopped (-1: none),
    // and the part that has spent the longest time there (-1: none).
    int stoppedPart() const;
    int slowestPart() const;
    // Whether a Python thread was interrupted.
    bool interrupted() const;

private:
    void watch();
    void interrupt(std::unique_lock<std::mutex> &lock);

    DecodeControl &control_;
    const bool hasDeadline_;
    const std::chrono::steady_clock::time_point deadline_;
    const unsigned long driver_; // the driving thread, as Python names threads
    // Guarded by control_.mutex_:
    int part_ = -1;
    uint64_t entry_ = 0; // counts enter() calls
    std::chrono::steady_clock::time_point enteredAt_;
    std::vector<double> seconds_; // per part, time in the library
    int stoppedPart_ = -1;
    bool interrupted_ = false;
    bool driverInterrupted_ = false;
    std::vector<unsigned long> interruptedThreads_; // cleared of what is still pending at the end
    bool finished_ = false;
    std::thread thread_;
};

} // namespace decode_internal
