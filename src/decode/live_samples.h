#pragma once

#include <cstdint>
#include <vector>

// The samples of a capture still arriving record by record, in time order.
// A record's levels hold until the next record's time, so every sample
// before the latest record's time is final: those are the ones given out.
// Times are cleaned as Capture cleans them (kept in 0..32767, never going
// back), so the samples given out begin the expansion of the complete
// capture whenever the capture is the one that was arriving.
class LiveSamples {
public:
    void reset();
    // The next record. Returns how many samples it made final (they are the
    // last ones of samples()).
    int32_t add(int32_t time, uint8_t levels);
    // Every sample final so far, one byte each (bit k = CH(k+1)).
    const std::vector<uint8_t> &samples() const { return samples_; }
    int64_t recordCount() const { return records_; }

private:
    std::vector<uint8_t> samples_;
    int64_t records_ = 0;
    int32_t lastTime_ = 0;
    uint8_t lastLevels_ = 0; // the levels before the first record read as 0
};
