#include "capture/capture.h"

#include <algorithm>

#include "settings/rate_table.h"

namespace {

// Sample periods of the Logic rates in picoseconds; each Analog period is
// 1000 times the Logic period of the same index.
constexpr int64_t kLogicPeriodPs[Capture::kRateCount] = {50'000,  100'000,   200'000,   500'000,
                                                        1'000'000, 2'000'000, 5'000'000, 10'000'000};

bool validRate(int rateIndex) { return rateIndex >= 0 && rateIndex < Capture::kRateCount; }

} // namespace

Capture::Capture(Mode mode, int rateIndex, int32_t measurementLength, std::vector<CaptureRecord> records,
                 CaptureTrigger trigger, int rangeIndex)
    : mode_(mode), rateIndex_(validRate(rateIndex) ? rateIndex : 0),
      measurementLength_(std::clamp<int32_t>(measurementLength, 0, kMaxTime + 1)), records_(std::move(records)),
      trigger_(trigger), rangeIndex_(rangeIndex)
{
    int32_t previous = 0;
    for (CaptureRecord &r : records_) {
        r.time = std::clamp<int32_t>(r.time, previous, kMaxTime);
        previous = r.time;
    }
    if (mode_ == Mode::Logic) {
        for (CaptureRecord &r : records_)
            r.analog = 0;
    }
    sampleCount_ = records_.empty() ? 0 : std::max(measurementLength_, records_.back().time + 1);
}

uint64_t Capture::sampleRateHzFor(Mode mode, int rateIndex)
{
    if (!validRate(rateIndex))
        return 0;
    // 10^12 ps in a second; every period divides it exactly.
    return uint64_t(1'000'000'000'000LL / samplePeriodPsFor(mode, rateIndex));
}

int64_t Capture::samplePeriodPsFor(Mode mode, int rateIndex)
{
    if (!validRate(rateIndex))
        return 0;
    return kLogicPeriodPs[rateIndex] * (mode == Mode::Analog ? 1000 : 1);
}

QString Capture::rateTextFor(Mode mode, int rateIndex)
{
    if (!validRate(rateIndex))
        return QString();
    return (mode == Mode::Analog ? rates::analogEntries() : rates::logicEntries()).at(rateIndex);
}

int Capture::rateIndexForHz(Mode mode, uint64_t hz)
{
    for (int i = 0; i < kRateCount; ++i) {
        if (sampleRateHzFor(mode, i) == hz)
            return i;
    }
    return -1;
}

double Capture::voltageScaleFor(int rangeIndex)
{
    static const double scales[] = {0.2, 1.0, 2.0, 4.0, 10.0};
    return rangeIndex >= 0 && rangeIndex < 5 ? scales[rangeIndex] : 1.0;
}

int32_t Capture::recordAt(int32_t n) const
{
    // The last record whose time is at or before n: among records with equal
    // time stamps the last one is in force.
    const auto it = std::upper_bound(records_.begin(), records_.end(), n,
                                     [](int32_t t, const CaptureRecord &r) { return t < r.time; });
    return int32_t(it - records_.begin()) - 1;
}

uint8_t Capture::levelsAt(int32_t n) const
{
    const int32_t i = recordAt(n);
    return i < 0 ? 0 : records_[size_t(i)].levels;
}

uint8_t Capture::analogCountAt(int32_t n) const
{
    const int32_t i = recordAt(n);
    return i < 0 ? 0 : records_[size_t(i)].analog;
}

namespace {

// Fills one byte per sample period from the records, each record's value
// holding until the next record's time.
template <typename Field>
std::vector<uint8_t> Expand(const std::vector<CaptureRecord> &records, int32_t count, Field field)
{
    std::vector<uint8_t> out(size_t(count), 0);
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t from = records[i].time;
        const int32_t to = i + 1 < records.size() ? std::min(records[i + 1].time, count) : count;
        if (from < to)
            std::fill(out.begin() + from, out.begin() + to, field(records[i]));
    }
    return out;
}

} // namespace

std::vector<uint8_t> Capture::expandLogic() const
{
    return Expand(records_, sampleCount_, [](const CaptureRecord &r) { return r.levels; });
}

std::vector<uint8_t> Capture::expandAnalog() const
{
    if (!isAnalog())
        return {};
    return Expand(records_, sampleCount_, [](const CaptureRecord &r) { return r.analog; });
}
