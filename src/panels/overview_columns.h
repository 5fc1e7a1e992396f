#pragma once

#include <cstdint>
#include <vector>

class Capture;

// The overview shows a whole capture in a row of pixel columns. A column
// stands for the stretch of time [c * domain / width, (c + 1) * domain /
// width) sample periods; a sample period belongs to every column its time
// overlaps, and a change of level at time t (the boundary before sample t)
// belongs to the one column that holds t.
struct OverviewScale {
    int width = 700;     // pixel columns, as the traces' field
    int32_t domain = 0;  // sample periods across the width; 0: nothing to show

    bool isEmpty() const { return domain <= 0 || width <= 0; }
    // The column that holds time t, 0..width-1.
    int columnOf(int64_t t) const;
    // The first column after time t: ceil(t * width / domain), 0..width.
    int columnEnd(int64_t t) const;
    // Field x in pixels (fractional) of time t, and the time at field x.
    double xOf(double t) const { return isEmpty() ? 0.0 : t * width / domain; }
    double timeAt(double x) const { return isEmpty() ? 0.0 : x * domain / width; }
};

// What one pixel column holds, per channel bit (bit k = CH(k+1)).
struct OverviewColumn {
    uint8_t high = 0; // channels high somewhere in the column
    uint8_t low = 0;  // channels low somewhere in the column
    uint8_t edge = 0; // channels that change level in the column at least once
    uint8_t busy = 0; // channels that change at least twice: too many to draw
    uint8_t analogMin = 255, analogMax = 0; // the analog trace's range in the column
    // Some sample lies in the column (every channel is either high or low there).
    bool covered() const { return uint8_t(high | low) == 0xFF; }
};

// The columns of a capture, built from its records in time order: each
// record's levels hold from its time up to the next record's time. Records
// can be added as they arrive, so the overview follows a capture being read
// back; everything before the last record's time is then final.
//
// The cost is one step per record plus one per column a record's span
// covers: a full capture takes a fraction of a millisecond.
class OverviewColumns {
public:
    // Empties the columns for a capture of `scale.domain` sample periods.
    void reset(OverviewScale scale, bool analog);
    // The next record. A time before the previous record's counts as the
    // previous record's time (the traces do not go back either); times
    // past the domain are kept at its end.
    void add(int32_t time, uint8_t levels, uint8_t analog);
    // The capture is complete: the last record holds up to the domain's end.
    void finish();

    const OverviewScale &scale() const { return scale_; }
    bool isAnalog() const { return analog_; }
    const std::vector<OverviewColumn> &columns() const { return columns_; }
    int64_t recordCount() const { return records_; }
    // Samples [0, known()) are final: the time of the last record while the
    // capture is arriving, the whole domain once finished.
    int32_t known() const { return finished_ ? scale_.domain : pendingTime_; }
    bool isFinished() const { return finished_; }

private:
    void commit(int32_t from, int32_t to, uint8_t levels, uint8_t analog);

    OverviewScale scale_;
    bool analog_ = false;
    bool finished_ = false;
    std::vector<OverviewColumn> columns_;
    int64_t records_ = 0;
    // The last record: its levels hold from pendingTime_ to the next record.
    bool pending_ = false;
    int32_t pendingTime_ = 0;
    uint8_t pendingLevels_ = 0, pendingAnalog_ = 0;
    // The levels of the last stretch committed, to see changes.
    bool committed_ = false;
    uint8_t committedLevels_ = 0, committedAnalog_ = 0;
};

// The columns of a whole capture, `width` of them.
void BuildOverviewColumns(const Capture &capture, int width, OverviewColumns &out);
