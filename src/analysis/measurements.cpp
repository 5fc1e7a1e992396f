#include "analysis/measurements.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Running state of one channel while the records are walked.
struct Track {
    int level = 0;
    int32_t lastEdge = -1;   // -1: no edge yet in the window
    int32_t highSince = 0;
    int64_t highTime = 0;    // high samples up to highSince (or the last falling edge)
    int32_t first[2] = {-1, -1}, last[2] = {-1, -1}; // first/last falling [0] and rising [1] edge
    int64_t highAtFirst[2] = {0, 0}, highAtLast[2] = {0, 0};
    int32_t shortest[2] = {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};
    int32_t longest[2] = {0, 0};
};

// A record whose time stamp the next one repeats is never in force.
bool Superseded(const std::vector<CaptureRecord> &records, size_t i)
{
    return i + 1 < records.size() && records[i + 1].time == records[i].time;
}

void MeasureAnalog(const Capture &capture, int32_t from, int32_t to, double periodS, AnalogMeasurement &a)
{
    const std::vector<CaptureRecord> &records = capture.records();
    const int32_t first = capture.recordAt(from);
    // Each stretch: the count held from `start` for `length` samples.
    auto forEachStretch = [&](auto &&visit) {
        int value = first >= 0 ? records[size_t(first)].analog : 0;
        int32_t start = from;
        for (size_t i = size_t(first + 1); i < records.size() && records[i].time < to; ++i) {
            if (Superseded(records, i))
                continue;
            visit(start, records[i].time - start, value);
            start = records[i].time;
            value = records[i].analog;
        }
        visit(start, to - start, value);
    };
    int lo = 255, hi = 0;
    double sum = 0, sumSquares = 0;
    forEachStretch([&](int32_t, int32_t length, int value) {
        if (length <= 0)
            return;
        lo = std::min(lo, value);
        hi = std::max(hi, value);
        sum += double(value) * length;
        sumSquares += double(value) * value * length;
    });
    const double n = double(to - from);
    const double vpc = capture.voltsPerCount();
    const double mean = sum / n;
    a.present = true;
    a.minVolts = lo * vpc;
    a.maxVolts = hi * vpc;
    a.peakToPeakVolts = (hi - lo) * vpc;
    a.meanVolts = mean * vpc;
    a.rmsVolts = std::sqrt(sumSquares / n) * vpc;

    const double hysteresis = std::max(2.0, 0.1 * (hi - lo));
    bool armed = false;
    int32_t firstCrossing = -1, lastCrossing = -1;
    forEachStretch([&](int32_t start, int32_t length, int value) {
        if (length <= 0)
            return;
        if (value < mean - hysteresis) {
            armed = true;
        } else if (armed && value >= mean) {
            armed = false;
            ++a.crossings;
            if (firstCrossing < 0)
                firstCrossing = start;
            lastCrossing = start;
        }
    });
    if (a.crossings >= 2)
        a.frequencyHz = (a.crossings - 1) / ((lastCrossing - firstCrossing) * periodS);
}

} // namespace

Measurements MeasureChannels(const Capture &capture, int32_t fromSample, int32_t toSample)
{
    Measurements m;
    const int32_t count = capture.sampleCount();
    const int32_t from = std::clamp(fromSample, 0, count);
    const int32_t to = std::clamp(toSample, from, count);
    m.fromSample = from;
    m.toSample = to;
    const double periodS = double(capture.samplePeriodPs()) * 1e-12;
    m.windowSeconds = (to - from) * periodS;
    if (to <= from)
        return m;

    const std::vector<CaptureRecord> &records = capture.records();
    const int32_t first = capture.recordAt(from);
    uint8_t current = first >= 0 ? records[size_t(first)].levels : 0;
    Track tracks[Capture::kChannels];
    for (int c = 0; c < Capture::kChannels; ++c) {
        tracks[c].level = (current >> c) & 1;
        tracks[c].highSince = from;
        m.channels[size_t(c)].levelAtStart = tracks[c].level;
    }
    for (size_t i = size_t(first + 1); i < records.size() && records[i].time < to; ++i) {
        if (Superseded(records, i))
            continue;
        const int32_t t = records[i].time;
        const uint8_t changed = uint8_t(records[i].levels ^ current);
        current = records[i].levels;
        for (int c = 0; c < Capture::kChannels; ++c) {
            if (!((changed >> c) & 1))
                continue;
            Track &k = tracks[c];
            const int64_t highUpTo = k.highTime + (k.level ? t - k.highSince : 0);
            if (k.lastEdge >= 0) { // a whole pulse of the old level ends here
                const int32_t w = t - k.lastEdge;
                k.shortest[k.level] = std::min(k.shortest[k.level], w);
                k.longest[k.level] = std::max(k.longest[k.level], w);
                ++(k.level ? m.channels[size_t(c)].highPulses : m.channels[size_t(c)].lowPulses);
            }
            k.lastEdge = t;
            k.level ^= 1;
            if (k.first[k.level] < 0) {
                k.first[k.level] = t;
                k.highAtFirst[k.level] = highUpTo;
            }
            k.last[k.level] = t;
            k.highAtLast[k.level] = highUpTo;
            ++(k.level ? m.channels[size_t(c)].risingEdges : m.channels[size_t(c)].fallingEdges);
            k.highTime = highUpTo;
            k.highSince = t;
        }
    }

    for (int c = 0; c < Capture::kChannels; ++c) {
        const Track &k = tracks[c];
        ChannelMeasurement &r = m.channels[size_t(c)];
        r.levelAtEnd = k.level;
        const int64_t high = k.highTime + (k.level ? to - k.highSince : 0);
        r.highFraction = double(high) / double(to - from);
        r.dutyCycle = r.highFraction;
        const int kind = r.risingEdges >= 2 ? 1 : r.fallingEdges >= 2 ? 0 : -1;
        if (kind >= 0) {
            const int32_t span = k.last[kind] - k.first[kind];
            const int periods = kind ? r.risingEdges - 1 : r.fallingEdges - 1;
            r.periodSeconds = span * periodS / periods;
            r.frequencyHz = 1.0 / r.periodSeconds;
            r.dutyCycle = double(k.highAtLast[kind] - k.highAtFirst[kind]) / span;
        }
        if (r.highPulses > 0) {
            r.shortestHighSeconds = k.shortest[1] * periodS;
            r.longestHighSeconds = k.longest[1] * periodS;
        }
        if (r.lowPulses > 0) {
            r.shortestLowSeconds = k.shortest[0] * periodS;
            r.longestLowSeconds = k.longest[0] * periodS;
        }
    }
    if (capture.isAnalog())
        MeasureAnalog(capture, from, to, periodS, m.analog);
    return m;
}
