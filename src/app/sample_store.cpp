#include "app/sample_store.h"

#include <algorithm>

namespace {
bool g_literalGrowth = false;

void resizeZeroed(std::vector<int32_t> &v, size_t n)
{
    if (g_literalGrowth && n > v.size()) {
        std::vector<int32_t> copy(n, 0);
        std::copy(v.begin(), v.end(), copy.begin());
        v.swap(copy);
        return;
    }
    if (n > v.capacity()) {
        // Geometric growth: at least double, so a stream grown ten records at
        // a time reallocates only a few dozen times.
        v.reserve(std::max(n, v.capacity() * 2));
    }
    v.resize(n, 0);
}
} // namespace

void SampleStore::setLiteralGrowthForBenchmarks(bool literal) { g_literalGrowth = literal; }

void SampleStore::create(int fieldCount, int32_t upperBound)
{
    reset();
    if (upperBound < 0 || fieldCount <= 0)
        return;
    fieldCount = std::min(fieldCount, kMaxFields);
    fields_ = fieldCount;
    upper_ = upperBound;
    for (int f = 0; f < fields_; ++f)
        data_[f].assign(static_cast<size_t>(upperBound) + 1, 0);
}

void SampleStore::grow(int32_t newUpperBound)
{
    if (fields_ == 0 || newUpperBound <= upper_)
        return;
    for (int f = 0; f < fields_; ++f)
        resizeZeroed(data_[f], static_cast<size_t>(newUpperBound) + 1);
    upper_ = newUpperBound;
}

void SampleStore::ensureFields(int fieldCount)
{
    fieldCount = std::min(fieldCount, kMaxFields);
    if (fields_ == 0 || fieldCount <= fields_)
        return;
    for (int f = fields_; f < fieldCount; ++f)
        data_[f].assign(static_cast<size_t>(upper_) + 1, 0);
    fields_ = fieldCount;
}

void SampleStore::reset()
{
    fields_ = 0;
    upper_ = -1;
    for (auto &v : data_) {
        v.clear();
        v.shrink_to_fit();
    }
}
