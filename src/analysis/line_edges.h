#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "capture/capture.h"

// One logic channel of a capture as its level changes. Everything in
// src/analysis works from these edges rather than from every sample, so its
// cost grows with the activity on a line, not with the capture's length.
struct LineEdges {
    int initial = 0;             // level at sample 0
    std::vector<int32_t> times;  // samples at which the level changes (strictly increasing)
    int32_t length = 0;          // sample periods the capture covers

    // Level in force from edge i on (edges alternate, starting from `initial`).
    int levelAfter(size_t i) const { return initial ^ int((i + 1) & 1); }
    // Level at sample n (binary search).
    int levelAt(int32_t n) const;
};

// The edges of every channel (index 0 = CH1), in one pass over the records.
// Several records at one time stamp count as the last of them, so a level
// that changes and changes back within one sample leaves no edge.
std::array<LineEdges, Capture::kChannels> ExtractLineEdges(const Capture &capture);

// Reads the level of a line at non-decreasing sample numbers in amortised
// constant time.
class LevelCursor {
public:
    explicit LevelCursor(const LineEdges &line) : line_(&line) {}
    int at(int32_t n)
    {
        const std::vector<int32_t> &t = line_->times;
        while (next_ < t.size() && t[next_] <= n)
            ++next_;
        return line_->initial ^ int(next_ & 1);
    }

private:
    const LineEdges *line_;
    size_t next_ = 0;
};
