#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

// What keeps a decoder from freezing or sinking the program: every run has a
// time limit and a limit on the annotations it may keep, and whoever started
// it can stop it. A stop interrupts the decoders even inside their Python
// code (decode_internal::RunGuard).

struct DecodeLimits {
    // About 210 bytes each once stored and sorted, 250 listed in the panel:
    // two million keep the whole program near half a GiB (536 MiB measured
    // in the window), and are far more than any installed decoder makes of a
    // full capture (one annotation per sample and row would be 33000 a row).
    static constexpr int64_t kDefaultAnnotationLimit = 2000000;
    static constexpr double kDefaultTimeLimitSeconds = 30;

    double timeLimitSeconds = kDefaultTimeLimitSeconds; // 0: none
    int64_t annotationLimit = kDefaultAnnotationLimit;  // 0: none
    // Off only to measure what watching a run costs: without it a stop or a
    // limit takes effect between two chunks of samples, never inside a decoder.
    bool interruptible = true;
};

// Why a run ended before the end of its samples.
enum class DecodeStopReason {
    None,
    Cancelled,       // superseded or its owner going away: nothing is delivered
    User,            // the Stop button: what was decoded is delivered
    TimeLimit,       // DecodeLimits::timeLimitSeconds ran out
    AnnotationLimit, // DecodeLimits::annotationLimit reached
};

// "stopped after 30 s", "stopped after 2000000 annotations", "stopped".
QString DecodeStopText(DecodeStopReason reason, const DecodeLimits &limits);

namespace decode_internal {
class RunGuard;
}

// The switch of one run, shared between the thread that drives it and those
// that may stop it. Thread-safe; stopping wakes the watchdog that interrupts
// the run's decoders.
class DecodeControl {
public:
    // The first reason given sticks; later ones are ignored.
    void stop(DecodeStopReason reason);
    DecodeStopReason reason() const { return DecodeStopReason(reason_.load(std::memory_order_acquire)); }
    bool stopRequested() const { return reason() != DecodeStopReason::None; }

private:
    friend class decode_internal::RunGuard;
    // Sets the reason without waking anyone (the watchdog itself).
    bool setReason(DecodeStopReason reason);
    std::atomic<int> reason_{int(DecodeStopReason::None)};
};
