#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The capture store: a table of 32-bit values indexed (field, record).
// Field 0 is the time stamp, field 1 the eight logic levels, field 2 the
// analog sample (only in stores made for Analog mode).
//
// The record bound that handlers see (upperBound) is exactly the one the
// receive rules and Load ask for; the memory behind it grows geometrically, so
// growing a store ten records at a time over a 32768-record stream does not
// copy the whole table thousands of times.
class SampleStore {
public:
    static constexpr int kMaxFields = 3;

    // True when no array exists ("no array" at start-up, or after a Load of
    // an empty capture).
    bool isEmpty() const { return fields_ == 0; }
    int fieldCount() const { return fields_; }
    // Highest record index, -1 when there is no array.
    int32_t upperBound() const { return upper_; }

    // Discards the old contents and creates fields 0..fieldCount-1 with
    // records 0..upperBound, all zero. upperBound < 0 leaves no array.
    void create(int fieldCount, int32_t upperBound);
    // Grows to records 0..newUpperBound keeping the contents; new entries 0.
    // A bound at or below the current one changes nothing.
    void grow(int32_t newUpperBound);
    // Adds the missing fields up to fieldCount (zero-filled), keeping the rest.
    void ensureFields(int fieldCount);
    // Back to "no array".
    void reset();

    bool has(int field, int32_t record) const {
        return field >= 0 && field < fields_ && record >= 0 && record <= upper_;
    }
    int32_t at(int field, int32_t record) const { return data_[field][static_cast<std::size_t>(record)]; }
    void set(int field, int32_t record, int32_t value) { data_[field][static_cast<std::size_t>(record)] = value; }
    const int32_t *fieldData(int field) const { return data_[field].data(); }

    // Capacity held behind the visible bound (records), for tests and benchmarks.
    std::size_t capacity() const { return data_[0].capacity(); }

    // When set, every grow copies into an array of exactly the new size, as a
    // store that is re-dimensioned literally would. Only benchmarks use it, to
    // show what the geometric growth saves.
    static void setLiteralGrowthForBenchmarks(bool literal);

private:
    int fields_ = 0;
    int32_t upper_ = -1;
    std::vector<int32_t> data_[kMaxFields];
};
