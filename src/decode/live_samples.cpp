#include "decode/live_samples.h"

#include <algorithm>

#include "capture/capture.h"

void LiveSamples::reset()
{
    samples_.clear();
    records_ = 0;
    lastTime_ = 0;
    lastLevels_ = 0;
}

int32_t LiveSamples::add(int32_t time, uint8_t levels)
{
    time = std::clamp<int32_t>(time, lastTime_, Capture::kMaxTime);
    const int32_t made = time - int32_t(samples_.size());
    samples_.resize(size_t(time), lastLevels_);
    lastTime_ = time;
    lastLevels_ = levels;
    ++records_;
    return std::max(0, made);
}
