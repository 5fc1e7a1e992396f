#include "analysis/line_edges.h"

#include <algorithm>

int LineEdges::levelAt(int32_t n) const
{
    const auto it = std::upper_bound(times.begin(), times.end(), n);
    return initial ^ int((it - times.begin()) & 1);
}

std::array<LineEdges, Capture::kChannels> ExtractLineEdges(const Capture &capture)
{
    std::array<LineEdges, Capture::kChannels> lines;
    const std::vector<CaptureRecord> &records = capture.records();
    for (LineEdges &l : lines)
        l.length = capture.sampleCount();
    // Before the first record every level reads 0 (Capture::levelsAt). Of
    // several records at one time only the last one is ever in force. The
    // first pass counts, so that each list is allocated once.
    auto walk = [&](auto &&change) {
        uint8_t current = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (i + 1 < records.size() && records[i + 1].time == records[i].time)
                continue;
            const uint8_t changed = uint8_t(records[i].levels ^ current);
            current = records[i].levels;
            for (int c = 0; changed >> c; ++c) {
                if ((changed >> c) & 1)
                    change(c, records[i].time);
            }
        }
    };
    size_t counts[Capture::kChannels] = {};
    walk([&](int c, int32_t t) { counts[c] += t > 0; });
    for (int c = 0; c < Capture::kChannels; ++c)
        lines[size_t(c)].times.reserve(counts[c]);
    walk([&](int c, int32_t t) {
        LineEdges &l = lines[size_t(c)];
        if (t == 0)
            l.initial ^= 1;
        else
            l.times.push_back(t);
    });
    return lines;
}
