#include "frame/read_progress.h"

#include <algorithm>

#include "app/sample_store.h"

int32_t StreamTimeReached(const SampleStore &store, int32_t lastIndex)
{
    int32_t t = 0;
    for (int32_t n = std::max<int32_t>(0, lastIndex - 1); n <= lastIndex; ++n) {
        if (store.has(0, n))
            t = std::max(t, store.at(0, n));
    }
    return t;
}

int ReadProgressPercent(bool readEnded, int32_t timeReached, int32_t measurementLength)
{
    if (readEnded)
        return 100;
    if (measurementLength <= 0 || timeReached <= 0)
        return 0;
    return int(std::min<int64_t>(99, int64_t(timeReached) * 100 / measurementLength));
}
