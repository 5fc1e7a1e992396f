#pragma once

// Pieces of the protocol detection shared by its source files.

#include <cstdint>
#include <vector>

#include "analysis/line_edges.h"
#include "analysis/protocol_detection.h"

namespace detect_internal {

// Fewer sample periods than this on a line's shortest pulses and it cannot
// be decoded reliably (bit centres of a UART, data setup around a bus clock).
constexpr double kResolveSamples = 3.5;
// What a suggested sample rate gives the shortest pulse.
constexpr double kWantedSamples = 4.0;

// A channel's edges with the statistics every detector needs.
struct Line {
    int channel = 0;
    const LineEdges *edges = nullptr;
    double sampleRateHz = 0;
    std::vector<int32_t> widths; // complete pulses (between two edges), ascending
    double unit = 0;             // mean width of the shortest cluster of pulses that holds a fair share
    double shortShare = 0;       // share of pulses narrower than kResolveSamples
    bool tooFast = false;
    int restLevel = 0;           // level of the longest stretch without an edge

    // Clock-like regularity (a free-running or gated clock).
    bool clockLike = false;
    double period = 0;        // mean of the regular rising-to-rising intervals
    double highWidth = 0;     // median high pulse
    double lowWidth = 0;      // median low pulse
    double gapThreshold = 0;  // pulses longer than this are idle gaps between bursts
    int idleLevel = -1;       // level in the gaps, -1 without gaps (free-running)

    size_t edgeCount() const { return edges->times.size(); }
};

// The statistics of one channel; the clock-like ones only for a line that is
// not too fast and has at least seven edges.
Line AnalyseLine(int channel, const LineEdges &edges, double sampleRateHz);

// Width tolerance of a pulse that should last `w` samples: the sampling
// moves each edge by up to one period.
inline double WidthTolerance(double w) { return 1.5 + 0.1 * w; }

double Median(std::vector<double> v);

// ---- UART ----
struct UartResult {
    bool found = false;
    UartFormat format;
    double confidence = 0;
    QString evidence;
};
UartResult DetectUart(const Line &line);

// ---- buses ----
// Channels already given a role are marked in `used`.
std::vector<I2cBus> DetectI2c(const std::vector<Line> &lines, std::vector<bool> &used);
std::vector<SpiBus> DetectSpi(const std::vector<Line> &lines, double sampleRateHz, std::vector<bool> &used);

// The 22 baud rates a UART is snapped to (300 ... 3000000).
int SnapBaud(double measured);

} // namespace detect_internal
