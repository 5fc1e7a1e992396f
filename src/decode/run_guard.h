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
//
// The watchdog is one thread for the whole process, started with the first
// run and never ended: a thread per run would cost more than the run's
// watching is allowed to (a full capture decodes in a few milliseconds).
// Runs take turns in the library, so it watches one run at a time.

#include <QString>
#include <chrono>
#include <mutex>
#include <vector>

#include "decode/decode_limits.h"

namespace decode_internal {

// Whether a message the library logged is the trace of our own interruption.
bool IsInterruptionMessage(const QString &text);

// Makes the watchdog look at the run it watches again (its control was stopped).
void WakeWatchdog();

class RunGuard {
public:
    // Watches the run driven by the calling thread; with timeLimitSeconds > 0
    // the control is stopped with TimeLimit when the time runs out. The
    // caller holds the library lock (another guard waits for this one).
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
    // Moves the deadline later by `by`: the time a run spends waiting for
    // samples still to come is not the decoders' time.
    void postpone(std::chrono::steady_clock::duration by);

    // The part that was in the library when the run was stopped (-1: none),
    // and the part that has spent the longest time there (-1: none).
    int stoppedPart() const;
    int slowestPart() const;
    // Whether a Python thread was interrupted.
    bool interrupted() const;

private:
    friend struct Watchdog;
    // One look by the watchdog, with its lock held: waits for the deadline
    // or a stop, or interrupts (letting go of the lock meanwhile).
    void step(std::unique_lock<std::mutex> &lock);
    void interrupt(std::unique_lock<std::mutex> &lock);

    DecodeControl &control_;
    const bool hasDeadline_;
    std::chrono::steady_clock::time_point deadline_; // guarded by the watchdog's lock
    const unsigned long driver_; // the driving thread, as Python names threads
    // Guarded by the watchdog's lock:
    int part_ = -1;
    uint64_t entry_ = 0; // counts enter() calls
    std::chrono::steady_clock::time_point enteredAt_;
    std::vector<double> seconds_; // per part, time in the library
    bool stopSeen_ = false;
    int stoppedPart_ = -1;
    uint64_t entryAtStop_ = 0;
    uint64_t lastInterruptedEntry_ = 0;
    std::chrono::steady_clock::time_point lastInterruptAt_;
    bool interrupted_ = false;
    bool driverInterrupted_ = false;
    std::vector<unsigned long> interruptedThreads_; // cleared of what is still pending at the end
};

} // namespace decode_internal
