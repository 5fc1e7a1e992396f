// Bus detection across channels: I2C pairs and SPI groups around a gated
// clock, from how the other lines' edges sit against the clock's edges.
#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

#include "analysis/detect_internal.h"

namespace detect_internal {
namespace {

// A bus clock: regular pulses in bursts with idle gaps between them.
bool IsBusClock(const Line &l) { return !l.tooFast && l.clockLike && l.idleLevel >= 0; }

// ---- I2C ----------------------------------------------------------------------

struct I2cEval {
    bool ok = false;
    double quality = 0;
    I2cBus bus;
};

// Walks both lines' edges in time order as an I2C receiver would: SDA falling
// while SCL is high is a start, rising a stop; SCL rising reads a bit. A
// transaction carries whole bytes with their acknowledge bits, and the stop
// (or repeated start) adds one more SCL rise: 9n or 9n + 1 bits.
I2cEval EvaluateI2c(const Line &scl, const Line &sda)
{
    I2cEval r;
    const std::vector<int32_t> &c = scl.edges->times;
    const std::vector<int32_t> &d = sda.edges->times;
    int sclLevel = scl.edges->initial, sdaLevel = sda.edges->initial;
    bool inTransaction = false;
    int bits = 0, transactions = 0, wellFormed = 0, starts = 0, dataEdges = 0, coincident = 0, tenBit = 0;
    unsigned first = 0;
    std::set<int> addresses;
    auto close = [&]() {
        ++transactions;
        if (bits >= 9 && (bits % 9 == 0 || bits % 9 == 1))
            ++wellFormed;
    };
    size_t i = 0, j = 0;
    while (i < c.size() || j < d.size()) {
        const int32_t tc = i < c.size() ? c[i] : INT32_MAX;
        const int32_t td = j < d.size() ? d[j] : INT32_MAX;
        if (tc <= td) {
            sclLevel ^= 1;
            if (tc == td) { // both in one sample: neither a condition nor a clean data change
                sdaLevel ^= 1;
                ++coincident;
                ++j;
            }
            if (sclLevel == 1 && inTransaction) {
                if (bits < 8)
                    first = (first << 1) | unsigned(sdaLevel);
                if (++bits == 8) {
                    if ((first & 0xF8) == 0xF0)
                        ++tenBit;
                    else
                        addresses.insert(int(first >> 1));
                }
            }
            ++i;
            continue;
        }
        sdaLevel ^= 1;
        if (sclLevel == 1) {
            if (sdaLevel == 0) { // start, or repeated start
                if (inTransaction)
                    close();
                inTransaction = true;
                bits = 0;
                first = 0;
                ++starts;
            } else if (inTransaction) { // stop
                close();
                inTransaction = false;
            }
        } else {
            ++dataEdges;
        }
        ++j;
    }
    if (transactions == 0 || dataEdges == 0 || coincident > 0.1 * double(d.size()))
        return r;
    r.quality = double(wellFormed) / transactions;
    r.ok = r.quality >= 0.8;
    r.bus.scl = scl.channel;
    r.bus.sda = sda.channel;
    r.bus.addresses.assign(addresses.begin(), addresses.end());
    r.bus.transactions = transactions;
    r.bus.wellFormed = wellFormed;
    r.bus.clockHz = scl.period > 0 ? scl.sampleRateHz / scl.period : 0;
    r.bus.confidence = r.quality * std::min(1.0, 0.6 + 0.2 * transactions);
    r.bus.evidence = QStringLiteral("%1 starts, data changes while SCL is low, %2 of %3 transactions whole bytes with acknowledge")
                         .arg(starts)
                         .arg(wellFormed)
                         .arg(transactions);
    if (tenBit > 0)
        r.bus.evidence += QStringLiteral(", %1 with a 10-bit address").arg(tenBit);
    return r;
}

// ---- SPI ----------------------------------------------------------------------

struct DataEval {
    bool ok = false;
    int launchRising = 0; // 1: data changes on rising clock edges
    int aligned = 0;      // edges on a clock edge of the launching polarity
    int total = 0;
};

// A data line changes only on the clock edges of one polarity (where the
// sender shifts out) or while the clock is idle (before the first and after
// the last bit); a change in the middle of a clock phase rules it out.
DataEval EvaluateSpiData(const Line &clk, const Line &data)
{
    DataEval r;
    const std::vector<int32_t> &c = clk.edges->times;
    const double tol = std::max(1.0, 0.25 * std::min(clk.highWidth, clk.lowWidth));
    int onRising = 0, onFalling = 0, idle = 0, bad = 0;
    size_t k = 0;
    for (int32_t t : data.edges->times) {
        while (k < c.size() && c[k] < t)
            ++k; // c[k] is the first clock edge at or after t
        int64_t best = INT64_MAX;
        size_t bestIndex = 0;
        if (k < c.size() && c[k] - t < best) {
            best = c[k] - t;
            bestIndex = k;
        }
        if (k > 0 && t - c[k - 1] < best) {
            best = t - c[k - 1];
            bestIndex = k - 1;
        }
        if (best <= tol) {
            (clk.edges->levelAfter(bestIndex) ? onRising : onFalling)++;
        } else if (k == 0 || k == c.size() || c[k] - c[k - 1] > clk.gapThreshold) {
            ++idle;
        } else {
            ++bad;
        }
    }
    r.total = int(data.edges->times.size());
    const int onEdges = onRising + onFalling;
    r.launchRising = onRising >= onFalling ? 1 : 0;
    r.aligned = std::max(onRising, onFalling);
    r.ok = onEdges >= 2 && r.aligned >= 0.9 * onEdges && bad <= 0.05 * r.total && r.aligned >= 0.4 * r.total;
    return r;
}

// A chip select: at one level on every clock edge, its edges in the clock's
// idle gaps, and (nearly) every asserted stretch holding clock edges.
bool EvaluateChipSelect(const Line &clk, const Line &s, int *activeLevel)
{
    const std::vector<int32_t> &c = clk.edges->times;
    const std::vector<int32_t> &t = s.edges->times;
    if (t.empty() || c.empty())
        return false;
    LevelCursor cursor(*s.edges);
    size_t high = 0;
    for (int32_t ct : c)
        high += size_t(cursor.at(ct));
    const int active = high * 2 > c.size() ? 1 : 0;
    const size_t atActive = active ? high : c.size() - high;
    if (atActive < 0.99 * double(c.size()))
        return false;
    size_t k = 0;
    int inGaps = 0, asserted = 0, assertedWithClock = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        while (k < c.size() && c[k] < t[i])
            ++k;
        if (k == 0 || k == c.size() || c[k] - c[k - 1] > clk.gapThreshold)
            ++inGaps;
        if (s.edges->levelAfter(i) == active && i + 1 < t.size()) {
            ++asserted;
            if (k < c.size() && c[k] < t[i + 1])
                ++assertedWithClock;
        }
    }
    if (inGaps < 0.9 * double(t.size()) || (asserted > 0 && assertedWithClock < 0.8 * asserted))
        return false;
    *activeLevel = active;
    return true;
}

unsigned char Reverse(unsigned char b)
{
    unsigned char r = 0;
    for (int i = 0; i < 8; ++i)
        r = (unsigned char)(r | (((b >> i) & 1) << (7 - i)));
    return r;
}

// Bytes of one data line that lie in runs of text: four or more printable
// characters (or tab, CR, LF) in a row, at least a quarter of them odd. Text
// is never all even, and a byte with its lowest bit set reads 0x80 or more
// the other way round, which is not text: so text in one reading is not
// text in the other. Small binary values (addresses, counts) read backwards
// are all even, however printable they look, and do not count.
int TextRunBytes(const std::vector<unsigned char> &bytes, bool reversed)
{
    int total = 0, run = 0, odd = 0;
    auto close = [&]() {
        if (run >= 4 && 4 * odd >= run)
            total += run;
        run = odd = 0;
    };
    for (unsigned char raw : bytes) {
        const unsigned char b = reversed ? Reverse(raw) : raw;
        if ((b >= 0x20 && b <= 0x7E) || b == '\r' || b == '\n' || b == '\t') {
            ++run;
            odd += b & 1;
        } else {
            close();
        }
    }
    close();
    return total;
}

// Bytes in text runs a reading needs before it shows the bit order.
constexpr int kTextEvidence = 8;

struct SpiWords {
    std::vector<std::vector<unsigned char>> lines; // each data line's words in order, MSB-first reading
    int words = 0;
    int frames = 0;      // chip-select frames, or clock bursts
    int wholeFrames = 0; // frames holding a multiple of 8 bits
};

// Reads the words as sigrok's spi decoder does: a bit on every sampling edge
// (while the chip select is asserted, counting from its every change), or
// without chip select from the start of the capture on.
SpiWords ReadSpiWords(const Line &clk, int sampleRising, const std::vector<const Line *> &data, const Line *cs,
                      int csActive)
{
    SpiWords r;
    const std::vector<int32_t> &c = clk.edges->times;
    std::vector<LevelCursor> cursors;
    for (const Line *d : data)
        cursors.emplace_back(*d->edges);
    std::vector<unsigned> shift(data.size(), 0);
    r.lines.resize(data.size());
    int bitCount = 0;     // bits of the word being read
    int frameBits = 0;    // bits since the frame began
    bool asserted = cs ? cs->edges->initial == csActive : true;
    size_t s = 0;
    auto endFrame = [&]() {
        if (frameBits > 0) {
            ++r.frames;
            r.wholeFrames += frameBits % 8 == 0;
        }
        frameBits = 0;
    };
    int32_t lastSample = -1;
    for (size_t i = 0; i < c.size(); ++i) {
        if (cs) {
            // Chip-select changes up to and including this sample come first.
            while (s < cs->edges->times.size() && cs->edges->times[s] <= c[i]) {
                asserted = cs->edges->levelAfter(s) == csActive;
                endFrame();
                bitCount = 0;
                std::fill(shift.begin(), shift.end(), 0);
                ++s;
            }
        } else if (lastSample >= 0 && c[i] - lastSample > clk.gapThreshold + clk.period) {
            endFrame(); // a burst ended (the word count runs on, as the decoder's does)
        }
        if (clk.edges->levelAfter(i) != sampleRising || !asserted)
            continue;
        lastSample = c[i];
        for (size_t k = 0; k < data.size(); ++k)
            shift[k] = (shift[k] << 1) | unsigned(cursors[k].at(c[i]));
        ++frameBits;
        if (++bitCount == 8) {
            for (size_t k = 0; k < shift.size(); ++k)
                r.lines[k].push_back((unsigned char)(shift[k] & 0xFF));
            ++r.words;
            bitCount = 0;
            std::fill(shift.begin(), shift.end(), 0);
        }
    }
    endFrame();
    return r;
}

struct SpiCandidate {
    int clk = -1;
    int launchRising = 0;
    std::vector<int> data;
    int aligned = 0;
    int total = 0;
};

SpiCandidate FindSpiData(const std::vector<Line> &lines, const Line &clk, const std::vector<bool> &used)
{
    SpiCandidate cand;
    cand.clk = clk.channel;
    std::vector<std::pair<int, DataEval>> found;
    int votes[2] = {0, 0};
    for (const Line &d : lines) {
        if (used[size_t(d.channel)] || d.channel == clk.channel || d.tooFast || d.edgeCount() < 2)
            continue;
        const DataEval e = EvaluateSpiData(clk, d);
        if (e.ok) {
            found.emplace_back(d.channel, e);
            votes[e.launchRising] += e.aligned;
        }
    }
    cand.launchRising = votes[1] > votes[0] ? 1 : 0;
    for (const auto &f : found) {
        if (f.second.launchRising != cand.launchRising || cand.data.size() == 2)
            continue;
        cand.data.push_back(f.first);
        cand.aligned += f.second.aligned;
        cand.total += f.second.total;
    }
    return cand;
}

} // namespace

std::vector<I2cBus> DetectI2c(const std::vector<Line> &lines, std::vector<bool> &used)
{
    std::vector<I2cEval> evals;
    for (const Line &scl : lines) {
        if (used[size_t(scl.channel)] || !IsBusClock(scl) || scl.idleLevel != 1)
            continue;
        for (const Line &sda : lines) {
            if (sda.channel == scl.channel || used[size_t(sda.channel)] || sda.tooFast || sda.edgeCount() < 2)
                continue;
            I2cEval e = EvaluateI2c(scl, sda);
            if (e.ok)
                evals.push_back(std::move(e));
        }
    }
    std::stable_sort(evals.begin(), evals.end(), [](const I2cEval &a, const I2cEval &b) {
        if (a.quality != b.quality)
            return a.quality > b.quality;
        return a.bus.transactions > b.bus.transactions;
    });
    std::vector<I2cBus> buses;
    for (const I2cEval &e : evals) {
        if (used[size_t(e.bus.scl)] || used[size_t(e.bus.sda)])
            continue;
        used[size_t(e.bus.scl)] = used[size_t(e.bus.sda)] = true;
        buses.push_back(e.bus);
    }
    return buses;
}

std::vector<SpiBus> DetectSpi(const std::vector<Line> &lines, double sampleRateHz, std::vector<bool> &used)
{
    // The clock with the most data edges on its edges is taken first.
    std::vector<SpiCandidate> candidates;
    for (const Line &clk : lines) {
        if (used[size_t(clk.channel)] || !IsBusClock(clk))
            continue;
        SpiCandidate c = FindSpiData(lines, clk, used);
        if (!c.data.empty())
            candidates.push_back(c);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const SpiCandidate &a, const SpiCandidate &b) { return a.aligned > b.aligned; });

    std::vector<SpiBus> buses;
    for (const SpiCandidate &first : candidates) {
        if (used[size_t(first.clk)])
            continue;
        const Line &clk = lines[size_t(first.clk)];
        const SpiCandidate cand = FindSpiData(lines, clk, used); // again: other groups may have taken lines
        if (cand.data.empty())
            continue;
        SpiBus bus;
        bus.clk = clk.channel;
        bus.mosi = cand.data[0];
        bus.miso = cand.data.size() > 1 ? cand.data[1] : -1;
        // CPOL is the clock's idle level; CPHA 1 when data changes on the
        // leading edge (the first edge after idle), so it is sampled on the trailing one.
        bus.cpol = clk.idleLevel;
        const int leadingRising = bus.cpol == 0 ? 1 : 0;
        bus.cpha = cand.launchRising == leadingRising ? 1 : 0;

        // Chip select: the candidate with the most edges.
        const Line *cs = nullptr;
        int csActive = 0;
        for (const Line &s : lines) {
            if (used[size_t(s.channel)] || s.channel == bus.clk || s.channel == bus.mosi || s.channel == bus.miso
                || s.tooFast)
                continue;
            int active = 0;
            if (EvaluateChipSelect(clk, s, &active) && (!cs || s.edgeCount() > cs->edgeCount())) {
                cs = &s;
                csActive = active;
            }
        }
        if (cs) {
            bus.cs = cs->channel;
            bus.csActiveLow = csActive == 0;
        }

        std::vector<const Line *> data;
        for (int ch : cand.data)
            data.push_back(&lines[size_t(ch)]);
        const SpiWords words = ReadSpiWords(clk, 1 - cand.launchRising, data, cs, csActive);
        bus.words = words.words;
        bus.transfers = words.frames;
        // Bit order: only text tells it, when one reading holds text and
        // the other does not; otherwise MSB first, by far the more common,
        // is assumed.
        int msbText = 0, lsbText = 0;
        for (const std::vector<unsigned char> &line : words.lines) {
            msbText += TextRunBytes(line, false);
            lsbText += TextRunBytes(line, true);
        }
        const bool lsbShown = lsbText >= kTextEvidence && 2 * msbText < lsbText;
        const bool msbShown = msbText >= kTextEvidence && 2 * lsbText < msbText;
        bus.msbFirst = !lsbShown;
        bus.bitOrderAssumed = !lsbShown && !msbShown;
        bus.clockHz = clk.period > 0 ? sampleRateHz / clk.period : 0;
        const double alignedShare = cand.total ? double(cand.aligned) / cand.total : 0;
        const double wholeShare = words.frames ? double(words.wholeFrames) / words.frames : 0;
        bus.confidence = std::clamp(std::min(1.0, alignedShare + 0.3) * (0.5 + 0.5 * wholeShare)
                                        * (bus.bitOrderAssumed ? 0.9 : 1.0),
                                    0.0, 1.0);
        bus.evidence = QStringLiteral("data changes on %1 clock edges, %2 of %3 %4 whole bytes")
                           .arg(cand.launchRising ? QStringLiteral("rising") : QStringLiteral("falling"))
                           .arg(words.wholeFrames)
                           .arg(words.frames)
                           .arg(cs ? QStringLiteral("chip-select frames") : QStringLiteral("clock bursts"));
        if (bus.bitOrderAssumed)
            bus.evidence += QStringLiteral(", bit order not evident from the data");
        used[size_t(bus.clk)] = used[size_t(bus.mosi)] = true;
        if (bus.miso >= 0)
            used[size_t(bus.miso)] = true;
        if (bus.cs >= 0)
            used[size_t(bus.cs)] = true;
        buses.push_back(bus);
    }
    return buses;
}

} // namespace detect_internal
