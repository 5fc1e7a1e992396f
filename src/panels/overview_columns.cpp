#include "panels/overview_columns.h"

#include <algorithm>

#include "capture/capture.h"

int OverviewScale::columnOf(int64_t t) const
{
    if (isEmpty())
        return 0;
    const int64_t c = std::max<int64_t>(0, t) * width / domain;
    return int(std::min<int64_t>(c, width - 1));
}

int OverviewScale::columnEnd(int64_t t) const
{
    if (isEmpty())
        return 0;
    const int64_t c = (std::max<int64_t>(0, t) * width + domain - 1) / domain;
    return int(std::min<int64_t>(c, width));
}

void OverviewColumns::reset(OverviewScale scale, bool analog)
{
    scale_ = scale;
    analog_ = analog;
    finished_ = false;
    columns_.assign(scale_.isEmpty() ? 0 : size_t(scale_.width), OverviewColumn());
    records_ = 0;
    pending_ = false;
    pendingTime_ = 0;
    pendingLevels_ = pendingAnalog_ = 0;
    committed_ = false;
    committedLevels_ = committedAnalog_ = 0;
}

void OverviewColumns::add(int32_t time, uint8_t levels, uint8_t analog)
{
    ++records_;
    if (scale_.isEmpty())
        return;
    time = std::clamp(time, pending_ ? pendingTime_ : 0, scale_.domain);
    if (pending_ && time > pendingTime_)
        commit(pendingTime_, time, pendingLevels_, pendingAnalog_);
    // A record at the same time as the one before replaces it: its levels
    // were never in force.
    pending_ = true;
    pendingTime_ = time;
    pendingLevels_ = levels;
    pendingAnalog_ = analog;
}

void OverviewColumns::finish()
{
    if (pending_ && pendingTime_ < scale_.domain)
        commit(pendingTime_, scale_.domain, pendingLevels_, pendingAnalog_);
    finished_ = true;
}

void OverviewColumns::commit(int32_t from, int32_t to, uint8_t levels, uint8_t analog)
{
    const int c0 = scale_.columnOf(from);
    const int c1 = std::max(scale_.columnEnd(to), c0 + 1);
    OverviewColumn &first = columns_[size_t(c0)];
    if (committed_) {
        const uint8_t changed = levels ^ committedLevels_;
        first.busy |= first.edge & changed;
        first.edge |= changed;
        // The analog trace ramps from the old value to the new one in the
        // period before the change.
        if (analog_ && analog != committedAnalog_) {
            first.analogMin = std::min(first.analogMin, committedAnalog_);
            first.analogMax = std::max(first.analogMax, committedAnalog_);
        }
    }
    const uint8_t lowLevels = uint8_t(~levels);
    for (int c = c0; c < c1; ++c) {
        OverviewColumn &col = columns_[size_t(c)];
        col.high |= levels;
        col.low |= lowLevels;
        if (analog_) {
            col.analogMin = std::min(col.analogMin, analog);
            col.analogMax = std::max(col.analogMax, analog);
        }
    }
    committed_ = true;
    committedLevels_ = levels;
    committedAnalog_ = analog;
}

void BuildOverviewColumns(const Capture &capture, int width, OverviewColumns &out)
{
    out.reset(OverviewScale{width, capture.sampleCount()}, capture.isAnalog());
    for (const CaptureRecord &r : capture.records())
        out.add(r.time, r.levels, r.analog);
    out.finish();
}
