#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// What keeps a decoder from freezing or sinking the program: every run has a
// time limit and a limit on the annotations it may keep, and whoever started
// it can stop it. A stop interrupts the decoders even inside their Python
// code (decode_internal::RunGuard).

struct DecodeLimits {
    // About 250 bytes each once stored, sorted and listed in the panel: two
    // million keep the program well under 1 GiB, and are some twenty times
    // what the busiest decoder makes of a full capture.
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
// that may stop it. Thread-safe.
class DecodeControl {
public:
    // The first reason given sticks; later ones are ignored.
    void stop(DecodeStopReason reason);
    DecodeStopReason reason() const { return DecodeStopReason(reason_.load(std::memory_order_acquire)); }
    bool stopRequested() const { return reason() != DecodeStopReason::None; }

private:
    friend class decode_internal::RunGuard;
    std::atomic<int> reason_{int(DecodeStopReason::None)};
    std::mutex mutex_;
    std::condition_variable changed_;
};
