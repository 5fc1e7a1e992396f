#pragma once

#include <QStringList>

// Entries and sample periods (microseconds, single precision) of the rate list.
// Each Analog period is 1000 times the Logic period of the same index.
namespace rates {

constexpr int kCount = 8;

const QStringList &logicEntries();
const QStringList &analogEntries();
// The period of a rate index in the given mode; false for an index outside 0..7.
bool periodUs(bool analog, int index, float *periodUs);

} // namespace rates
