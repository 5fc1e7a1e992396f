// UART detection on one line: bit time from the pulse widths, frame format
// from decoding the line with every format and keeping the one that explains
// it, the way sigrok's uart decoder will read it.
#include <QString>
#include <algorithm>
#include <cmath>

#include "analysis/detect_internal.h"

namespace detect_internal {
namespace {

constexpr int kStandardBauds[] = {300,    600,    1200,   2400,   4800,    9600,    14400,   19200,
                                  28800,  38400,  57600,  76800,  115200,  230400,  250000,  460800,
                                  500000, 921600, 1000000, 1500000, 2000000, 3000000};

// Share of frames that must check before a format is believed.
constexpr double kFramesThatMustCheck = 0.9;
// Frames a parity claim needs: by chance the parity of random bytes checks
// in half of them.
constexpr int kFramesForParity = 6;

// ceil() for the non-negative sample positions of a frame, without the
// library call (the frame walks are the detection's inner loop).
int64_t CeilPosition(double x)
{
    const int64_t i = int64_t(x);
    return i + (double(i) < x);
}

struct Walk {
    int frames = 0;
    int ok = 0;                   // start and stop bit as they must be
    std::vector<uint16_t> words;  // the `bits` bits after the start bit, first bit in bit 0 (ok frames only)
    std::vector<int32_t> starts;  // start edge of each ok frame
    std::vector<int32_t> idleAfter; // for each ok frame: samples from the stop bit's start to the next start edge (-1: none)
};

// Decodes the line as sigrok's uart decoder does: a start edge, then each bit
// read at ceil(start + (u - 1) / 2 + k u); after the first stop bit's sample
// the next start edge is looked for. `bits` counts data and parity bits.
// The walk begins at edge `firstEdge` and stops after `maxFrames` frames.
Walk WalkFrames(const LineEdges &e, double u, int bits, bool idleHigh, bool keepWords, size_t firstEdge = 0,
                int maxFrames = std::numeric_limits<int>::max())
{
    Walk w;
    const std::vector<int32_t> &t = e.times;
    const int idle = idleHigh ? 1 : 0;
    const int active = 1 - idle;
    size_t i = firstEdge;
    int64_t searchAfter = -1; // the next start edge lies beyond this sample
    int lastOk = -1;
    while (w.frames < maxFrames) {
        while (i < t.size() && (t[i] <= searchAfter || e.levelAfter(i) != active))
            ++i;
        if (i == t.size())
            break;
        const int32_t start = t[i];
        const double first = start + (u - 1) / 2;
        const int64_t stopSample = CeilPosition(first + (bits + 1) * u);
        if (stopSample >= e.length)
            break; // the capture ends within the frame
        if (lastOk >= 0 && w.idleAfter[size_t(lastOk)] < 0)
            w.idleAfter[size_t(lastOk)] = int32_t(start - (w.starts[size_t(lastOk)] + (bits + 1) * u));
        size_t j = i; // edge in force at the sample read
        auto levelAt = [&](int64_t n) {
            while (j + 1 < t.size() && t[j + 1] <= n)
                ++j;
            return t[j] <= n ? e.levelAfter(j) : 1 - e.levelAfter(j);
        };
        ++w.frames;
        bool ok = levelAt(CeilPosition(first)) == active;
        uint16_t word = 0;
        for (int k = 1; k <= bits; ++k) {
            if (levelAt(CeilPosition(first + k * u)) == idle)
                word |= uint16_t(1u << (k - 1));
        }
        ok = ok && levelAt(stopSample) == idle;
        if (ok) {
            ++w.ok;
            w.starts.push_back(start);
            w.idleAfter.push_back(-1);
            lastOk = int(w.starts.size()) - 1;
            if (keepWords)
                w.words.push_back(word);
        } else {
            lastOk = -1;
        }
        searchAfter = stopSample;
    }
    return w;
}

// Share of the pulses up to 12 bits long that last a whole number of bits.
double GridFit(const std::vector<int32_t> &widths, double u)
{
    int inside = 0, fit = 0;
    for (int32_t w : widths) {
        if (w > 12 * u)
            break;
        ++inside;
        const double k = std::round(w / u);
        if (k >= 1 && std::abs(w - k * u) <= 0.15 * u + 1)
            ++fit;
    }
    return inside ? double(fit) / inside : 0;
}

// Refines the bit time from the positions of the edges within frames: each
// lies a whole number of bits after its frame's start edge, so a fit over
// offsets of up to ten bits is far finer than any single pulse width.
double RefineBitTime(const LineEdges &e, const Walk &w, double u, int bits)
{
    double sumOk = 0, sumKk = 0;
    const std::vector<int32_t> &t = e.times;
    size_t i = 0;
    for (int32_t start : w.starts) {
        while (i < t.size() && t[i] <= start)
            ++i;
        for (size_t j = i; j < t.size() && t[j] - start <= (bits + 1.5) * u; ++j) {
            const double o = t[j] - start;
            const double k = std::round(o / u);
            if (k >= 1 && std::abs(o - k * u) <= 0.25 * u + 1) {
                sumOk += o * k;
                sumKk += k * k;
            }
        }
    }
    return sumKk > 0 ? sumOk / sumKk : u;
}

int Popcount(unsigned v)
{
    int n = 0;
    for (; v; v &= v - 1)
        ++n;
    return n;
}

// The edge the frames start from. A capture that begins inside a frame (a
// trigger on the line itself) offers data edges first; with frames sent
// back to back no idle gap brings a walk from there into step, so every
// start edge within the first frame's reach is tried on a few frames and the
// one most of them check from wins (the earliest on a tie).
size_t FindFirstStart(const LineEdges &e, double u, bool idleHigh)
{
    const std::vector<int32_t> &t = e.times;
    const int active = idleHigh ? 0 : 1;
    size_t first = 0;
    while (first < t.size() && e.levelAfter(first) != active)
        ++first;
    size_t best = first;
    int bestOk = -1;
    for (size_t i = first; i < t.size() && t[i] <= t[first] + 11 * u; ++i) {
        if (e.levelAfter(i) != active)
            continue;
        const int ok = WalkFrames(e, u, 8, idleHigh, false, i, 16).ok;
        if (ok > bestOk) {
            bestOk = ok;
            best = i;
        }
    }
    return best;
}

// Words that read as text: printable ASCII, tab, CR and LF.
int TextBytes(const std::vector<uint16_t> &words)
{
    int n = 0;
    for (uint16_t w : words) {
        const unsigned b = w & 0xFF;
        n += (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
    }
    return n;
}

struct Choice {
    bool found = false;
    int bits = 0; // data + parity
    double u = 0;
    Walk walk;
    double share = 0;
    bool eightAssumed = false; // 8 bits taken where a shorter format checks too
};

// The shortest frame that explains the line: longer formats also check when
// frames have gaps between them, shorter ones read a data bit as stop bit and
// fail on about half of the frames.
Choice ChooseFormat(const LineEdges &e, double u0, bool idleHigh)
{
    Choice c;
    const size_t from = FindFirstStart(e, u0, idleHigh);
    Walk eight = WalkFrames(e, u0, 8, idleHigh, false, from);
    const double u = RefineBitTime(e, eight, u0, 8);
    c.u = u;
    double best = 0;
    Walk walks[11];
    for (int bits = 5; bits <= 10; ++bits) {
        walks[bits] = WalkFrames(e, u, bits, idleHigh, true, from);
        if (walks[bits].frames >= 3)
            best = std::max(best, double(walks[bits].ok) / walks[bits].frames);
    }
    if (best < kFramesThatMustCheck)
        return c;
    auto passes = [&](int bits) {
        return walks[bits].frames >= 3 && double(walks[bits].ok) / walks[bits].frames >= best - 0.03;
    };
    int bits = 5;
    while (bits <= 10 && !passes(bits))
        ++bits;
    if (bits > 10)
        return c;
    // With few frames a shorter format passes by chance (each frame about
    // one in two): then the common 8 bits are the better guess.
    if (bits < 8 && walks[bits].frames < 10 && passes(8)) {
        bits = 8;
        c.eightAssumed = true;
    }
    c.found = true;
    c.bits = bits;
    c.walk = walks[bits];
    c.share = double(c.walk.ok) / c.walk.frames;
    return c;
}

} // namespace

int SnapBaud(double measured)
{
    for (int b : kStandardBauds) {
        if (std::abs(measured - b) <= 0.02 * b)
            return b;
    }
    return int(std::lround(measured));
}

UartResult DetectUart(const Line &line)
{
    UartResult r;
    const LineEdges &e = *line.edges;
    if (line.edges->times.size() < 6 || line.unit < kResolveSamples)
        return r;
    // The shortest cluster is one bit unless no single-bit pulse occurs: try
    // a half and a third of it when whole bits do not explain the widths.
    double u0 = 0;
    for (double div : {1.0, 2.0, 3.0}) {
        const double u = line.unit / div;
        if (u < kResolveSamples)
            break;
        if (GridFit(line.widths, u) >= 0.85) {
            u0 = u;
            break;
        }
    }
    if (u0 == 0)
        return r;

    // Both polarities; the one whose frames check wins, and on a tie the
    // level the line rests at (start and end of the capture).
    Choice choices[2] = {ChooseFormat(e, u0, true), ChooseFormat(e, u0, false)};
    const int restLevel = line.restLevel;
    int pick = -1;
    for (int p = 0; p < 2; ++p) {
        if (!choices[p].found)
            continue;
        // Frames sent back to back check in both readings. Equal shares: the
        // reading with more frames that check, then the one that reads as
        // text, then the level the line rests at.
        const double dShare = pick < 0 ? 1 : choices[p].share - choices[pick].share;
        const int dOk = pick < 0 ? 0 : choices[p].walk.ok - choices[pick].walk.ok;
        const int dText = pick < 0 ? 0 : TextBytes(choices[p].walk.words) - TextBytes(choices[pick].walk.words);
        if (pick < 0 || dShare > 1e-9
            || (std::abs(dShare) <= 1e-9
                && (dOk > 0 || (dOk == 0 && (dText > 0 || (dText == 0 && (p == 0) == (restLevel == 1)))))))
            pick = p;
    }
    if (pick < 0)
        return r;
    const Choice &c = choices[pick];
    const bool idleHigh = pick == 0;

    // Parity: the last of the bits, when it makes the count of ones even (or
    // odd) in every frame.
    int dataBits = c.bits;
    char parity = 'N';
    const Walk &w = c.walk;
    // Five bits leave no room for a parity bit; with too few frames to tell,
    // none is assumed.
    const bool parityAssumed = c.bits >= 6 && w.ok < kFramesForParity;
    if (c.bits >= 6 && w.ok >= kFramesForParity) {
        int even = 0;
        for (uint16_t word : w.words)
            even += Popcount(word) % 2 == 0;
        const double okShare = 0.98;
        if (even >= okShare * w.ok) {
            dataBits = c.bits - 1;
            parity = 'E';
        } else if (w.ok - even >= okShare * w.ok) {
            dataBits = c.bits - 1;
            parity = 'O';
        }
    }
    if (dataBits > 9)
        return r; // ten bits without a parity that checks: no UART format

    // Stop bits: the shortest idle time after a frame's stop bit began, where
    // frames follow each other closely; frames with gaps say nothing (1).
    double minIdle = 1e9;
    for (int32_t idle : w.idleAfter) {
        if (idle >= 0)
            minIdle = std::min(minIdle, idle / c.u);
    }
    double stopBits = 1;
    const bool stopBitsAssumed = minIdle >= 2.5;
    if (minIdle < 2.5 && minIdle >= 1.75)
        stopBits = 2;
    else if (minIdle < 1.75 && minIdle >= 1.25)
        stopBits = 1.5;

    // Frames that check in full: start, stop and parity.
    int ok = w.ok;
    if (parity != 'N') {
        ok = 0;
        for (uint16_t word : w.words)
            ok += (Popcount(word) % 2 == 0) == (parity == 'E');
    }

    const double sampleRate = line.sampleRateHz;
    r.found = true;
    r.format.measuredBaud = sampleRate / c.u;
    r.format.baud = SnapBaud(r.format.measuredBaud);
    r.format.idleHigh = idleHigh;
    r.format.dataBits = dataBits;
    r.format.parity = parity;
    r.format.stopBits = stopBits;
    r.format.frames = w.frames;
    r.format.framesOk = ok;
    r.format.dataBitsAssumed = c.eightAssumed;
    r.format.parityAssumed = parityAssumed;
    r.format.stopBitsAssumed = stopBitsAssumed;
    const double share = double(ok) / w.frames;
    r.confidence = std::clamp(share * std::min(1.0, 0.5 + w.frames / 20.0) * std::min(1.0, GridFit(line.widths, c.u) + 0.1), 0.0, 1.0);
    r.evidence = QStringLiteral("%1 frames, bit %2 samples, edges on the bit grid")
                     .arg(w.frames)
                     .arg(c.u, 0, 'f', 2);
    return r;
}

} // namespace detect_internal
