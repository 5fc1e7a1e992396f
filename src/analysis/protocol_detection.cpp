#include "analysis/protocol_detection.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "analysis/detect_internal.h"

using namespace detect_internal;

namespace detect_internal {

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + long(mid), v.end());
    return v[mid];
}

namespace {

double ShareNear(const std::vector<double> &v, double centre)
{
    if (v.empty())
        return 0;
    const double tol = WidthTolerance(centre);
    size_t n = 0;
    for (double x : v)
        n += std::abs(x - centre) <= tol;
    return double(n) / double(v.size());
}

} // namespace

Line AnalyseLine(int channel, const LineEdges &e, double sampleRateHz)
{
    Line l;
    l.channel = channel;
    l.edges = &e;
    l.sampleRateHz = sampleRateHz;
    l.restLevel = e.initial;
    const std::vector<int32_t> &t = e.times;
    if (t.empty())
        return l;
    int32_t longest = t.front();
    if (e.length - t.back() > longest) {
        longest = e.length - t.back();
        l.restLevel = e.levelAfter(t.size() - 1);
    }
    l.widths.resize(t.size() - 1);
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        const int32_t w = t[i + 1] - t[i];
        l.widths[i] = w;
        if (w > longest) {
            longest = w;
            l.restLevel = e.levelAfter(i);
        }
    }
    // Widths lie within 1..kMaxTime: a long list is sorted by counting.
    if (l.widths.size() > 4096) {
        std::vector<uint16_t> counts(size_t(Capture::kMaxTime) + 1, 0); // at most kMaxTime widths
        for (int32_t w : l.widths)
            ++counts[size_t(w)];
        size_t k = 0;
        for (size_t w = 0; w < counts.size(); ++w)
            for (int32_t c = counts[w]; c > 0; --c)
                l.widths[k++] = int32_t(w);
    } else {
        std::sort(l.widths.begin(), l.widths.end());
    }

    // The unit: the shortest cluster of widths (within quantisation) that
    // holds at least one pulse in twenty, so a stray glitch does not set it.
    const size_t n = l.widths.size();
    if (n > 0) {
        const size_t need = std::min(n, std::max<size_t>(2, n / 20));
        size_t j = 0;
        for (size_t i = 0; i < n && l.unit == 0; ++i) {
            const double upper = l.widths[i] + std::max(1.0, 0.15 * l.widths[i]);
            j = std::max(j, i);
            while (j < n && l.widths[j] <= upper)
                ++j;
            if (j - i >= need) {
                double sum = 0;
                for (size_t k = i; k < j; ++k)
                    sum += l.widths[k];
                l.unit = sum / double(j - i);
            }
        }
        if (l.unit == 0)
            l.unit = l.widths.front();
        const size_t shortPulses = size_t(std::lower_bound(l.widths.begin(), l.widths.end(), int32_t(std::ceil(kResolveSamples)))
                                          - l.widths.begin());
        l.shortShare = double(shortPulses) / double(n);
        l.tooFast = n >= 4 && l.unit < kResolveSamples && l.shortShare >= 0.25;
    }
    if (l.tooFast || t.size() < 7)
        return l; // nothing here can be a clock

    // Clock-like: equal rising-to-rising intervals, and pulses of one level
    // all alike with most of the other level alike too (the rest are the
    // idle gaps between bursts).
    std::vector<double> rising, high, low;
    rising.reserve(t.size() / 2 + 1);
    high.reserve(t.size() / 2 + 1);
    low.reserve(t.size() / 2 + 1);
    int32_t lastRise = -1;
    for (size_t i = 0; i < t.size(); ++i) {
        const int level = e.levelAfter(i);
        if (level == 1) {
            if (lastRise >= 0)
                rising.push_back(t[i] - lastRise);
            lastRise = t[i];
        }
        if (i + 1 < t.size())
            (level ? high : low).push_back(t[i + 1] - t[i]);
    }
    if (rising.size() < 3 || high.empty() || low.empty())
        return l;
    std::vector<double> scratch;
    auto median = [&](const std::vector<double> &v) {
        scratch.assign(v.begin(), v.end());
        const size_t mid = scratch.size() / 2;
        std::nth_element(scratch.begin(), scratch.begin() + long(mid), scratch.end());
        return scratch[mid];
    };
    const double medianPeriod = median(rising);
    l.highWidth = median(high);
    l.lowWidth = median(low);
    const double shareHigh = ShareNear(high, l.highWidth);
    const double shareLow = ShareNear(low, l.lowWidth);
    // The period: the mean of the regular intervals, finer than their
    // median, which sampling rounds to whole samples.
    double sum = 0;
    int count = 0;
    for (double x : rising) {
        if (std::abs(x - medianPeriod) <= WidthTolerance(medianPeriod))
            sum += x, ++count;
    }
    l.period = sum / count;
    l.clockLike = double(count) >= 0.6 * double(rising.size())
        && ((shareHigh >= 0.8 && shareLow >= 0.5) || (shareLow >= 0.8 && shareHigh >= 0.5));
    l.gapThreshold = 1.5 * std::max(l.highWidth, l.lowWidth) + 2;
    double gapTime[2] = {0, 0};
    for (double w : high)
        gapTime[1] += w > l.gapThreshold ? w : 0;
    for (double w : low)
        gapTime[0] += w > l.gapThreshold ? w : 0;
    if (t.front() > l.gapThreshold)
        gapTime[e.initial] += t.front();
    if (e.length - t.back() > l.gapThreshold)
        gapTime[e.levelAfter(t.size() - 1)] += e.length - t.back();
    if (gapTime[0] > 0 || gapTime[1] > 0)
        l.idleLevel = gapTime[1] > gapTime[0] ? 1 : 0;
    return l;
}

} // namespace detect_internal

namespace {

QString Ch(int channel) { return QStringLiteral("CH%1").arg(channel + 1); }

// "960 kHz", "20.0 kHz", "115 Hz": three significant digits.
QString FormatHz(double hz)
{
    const char *units[] = {"Hz", "kHz", "MHz", "GHz"};
    int u = 0;
    while (hz >= 999.5 && u < 3) {
        hz /= 1000;
        ++u;
    }
    const int decimals = hz >= 99.95 ? 0 : hz >= 9.995 ? 1 : 2;
    return QStringLiteral("%1 %2").arg(hz, 0, 'f', decimals).arg(QLatin1String(units[u]));
}

QString FormatSeconds(double s)
{
    if (s >= 1)
        return QStringLiteral("%1 s").arg(s, 0, 'g', 3);
    if (s >= 1e-3)
        return QStringLiteral("%1 ms").arg(s * 1e3, 0, 'g', 3);
    if (s >= 1e-6)
        return QStringLiteral("%1 us").arg(s * 1e6, 0, 'g', 3);
    return QStringLiteral("%1 ns").arg(s * 1e9, 0, 'g', 3);
}

QString Percent(double share) { return QStringLiteral("%1%").arg(std::lround(share * 100)); }

// The slowest rate of the instrument giving the pulse kWantedSamples, in the
// capture's mode, else in Logic mode; 0 when none does.
void NeededRate(double pulseSeconds, Capture::Mode mode, uint64_t *hz, Capture::Mode *inMode)
{
    *hz = 0;
    *inMode = mode;
    for (Capture::Mode m : {mode, Capture::Mode::Logic}) {
        for (int i = Capture::kRateCount - 1; i >= 0; --i) {
            const uint64_t rate = Capture::sampleRateHzFor(m, i);
            if (pulseSeconds * double(rate) >= kWantedSamples) {
                *hz = rate;
                *inMode = m;
                return;
            }
        }
    }
}

struct Periodic {
    bool found = false;
    double period = 0; // samples
    double dutyMin = 0, dutyMax = 0;
    bool varying = false;
    int periods = 0;
};

// Periodic when the intervals between rising edges, or between falling edges,
// are all alike (edge-aligned PWM keeps only one of them).
Periodic CheckPeriodic(const LineEdges &e)
{
    Periodic p;
    const std::vector<int32_t> &t = e.times;
    if (t.size() < 3)
        return p;
    std::vector<int32_t> edges[2];
    for (size_t i = 0; i < t.size(); ++i)
        edges[e.levelAfter(i)].push_back(t[i]);
    double sum = 0;
    int count = 0;
    for (const std::vector<int32_t> &v : edges) {
        if (v.size() < 2)
            continue;
        std::vector<double> intervals;
        for (size_t i = 1; i < v.size(); ++i)
            intervals.push_back(v[i] - v[i - 1]);
        const double median = Median(intervals);
        size_t near = 0;
        for (double x : intervals)
            near += std::abs(x - median) <= WidthTolerance(median) * 0.5 + 0.5;
        if (double(near) < 0.9 * double(intervals.size()))
            continue;
        // The mean over the whole span is exact to a sample over all periods.
        sum += double(v.back() - v.front());
        count += int(intervals.size());
    }
    if (count == 0)
        return p;
    p.found = true;
    p.period = sum / count;
    p.periods = count;
    std::vector<double> highs;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        const double w = t[i + 1] - t[i];
        highs.push_back(e.levelAfter(i) ? w : p.period - w);
    }
    const auto [lo, hi] = std::minmax_element(highs.begin(), highs.end());
    p.dutyMin = std::clamp(*lo / p.period, 0.0, 1.0);
    p.dutyMax = std::clamp(*hi / p.period, 0.0, 1.0);
    p.varying = *hi - *lo > 2 + 0.02 * p.period;
    if (!p.varying) {
        double s = 0;
        for (double h : highs)
            s += h;
        p.dutyMin = p.dutyMax = std::clamp(s / double(highs.size()) / p.period, 0.0, 1.0);
    }
    return p;
}

void ClassifyAlone(const Capture &capture, const Line &line, ChannelReport &r)
{
    const LineEdges &e = *line.edges;
    const double periodS = double(capture.samplePeriodPs()) * 1e-12;
    const double rate = double(capture.sampleRateHz());
    const int n = int(e.times.size());
    if (n == 0) {
        r.kind = SignalKind::Constant;
        r.level = e.initial;
        r.confidence = 1;
        r.evidence = QStringLiteral("no edge in %1 samples").arg(e.length);
        return;
    }
    if (n < 3) {
        r.kind = SignalKind::Unknown;
        r.confidence = 0.3;
        r.evidence = QStringLiteral("%1 edge%2 only: too few to classify").arg(n).arg(n == 1 ? "" : "s");
        return;
    }
    if (line.tooFast) {
        r.kind = SignalKind::RateTooLow;
        r.shortestPulseSeconds = line.unit * periodS;
        r.shortestPulseSamples = line.unit;
        NeededRate(r.shortestPulseSeconds, capture.mode(), &r.neededRateHz, &r.neededMode);
        r.confidence = std::min(1.0, 0.5 + line.shortShare);
        r.evidence = QStringLiteral("%1 of the pulses are shorter than %2 samples; the shortest last about %3 samples")
                         .arg(Percent(line.shortShare))
                         .arg(kResolveSamples)
                         .arg(line.unit, 0, 'f', 1);
        return;
    }
    const Periodic p = CheckPeriodic(e);
    if (p.found) {
        r.kind = p.varying ? SignalKind::Pwm : SignalKind::Clock;
        r.frequencyHz = rate / p.period;
        r.dutyMin = p.dutyMin;
        r.dutyMax = p.dutyMax;
        r.confidence = std::min(1.0, 0.5 + 0.1 * p.periods);
        r.evidence = QStringLiteral("%1 periods of %2 samples").arg(p.periods).arg(p.period, 0, 'f', 1);
        return;
    }
    const UartResult u = DetectUart(line);
    if (u.found) {
        r.kind = SignalKind::Uart;
        r.role = QStringLiteral("rx");
        r.uart = u.format;
        r.confidence = u.confidence;
        r.evidence = u.evidence;
        return;
    }
    if (line.clockLike) {
        r.kind = SignalKind::Clock;
        r.frequencyHz = rate / line.period;
        r.dutyMin = r.dutyMax = line.highWidth / line.period;
        r.confidence = 0.5;
        r.evidence = QStringLiteral("bursts of a clock, no bus found around it");
        return;
    }
    r.kind = n >= 12 ? SignalKind::Noise : SignalKind::Unknown;
    r.confidence = n >= 12 ? 0.6 : 0.3;
    r.evidence = QStringLiteral("%1 edges without regularity, pulses of %2 to %3 samples")
                     .arg(n)
                     .arg(line.widths.empty() ? 0 : line.widths.front())
                     .arg(line.widths.empty() ? 0 : line.widths.back());
}

// The stretches in which a line too fast for the rate is busy: its edges
// closer together than a few of its pulses.
std::vector<std::pair<int32_t, int32_t>> BusySpans(const Line &l)
{
    std::vector<std::pair<int32_t, int32_t>> spans;
    const std::vector<int32_t> &t = l.edges->times;
    const double join = 4 * l.unit + 2;
    for (size_t i = 0; i < t.size(); ++i) {
        if (!spans.empty() && t[i] - spans.back().second <= join)
            spans.back().second = t[i];
        else
            spans.push_back({t[i], t[i]});
    }
    return spans;
}

// A line that changes only while a bursty line too fast for the rate is busy
// goes with it: the data of a bus whose clock the rate cannot resolve, which
// on its own can look like anything (repeated transfers even like a UART).
// Returns the too-fast line's channel, or -1.
int FollowsTooFastLine(const Line &l, const std::vector<Line> &lines)
{
    const std::vector<int32_t> &t = l.edges->times;
    if (t.size() < 4)
        return -1;
    for (const Line &fast : lines) {
        if (!fast.tooFast || fast.channel == l.channel)
            continue;
        const std::vector<std::pair<int32_t, int32_t>> spans = BusySpans(fast);
        const double margin = 1.5 * fast.unit + 1; // a bus sets up its data within about a bit
        double busy = 0;
        for (const auto &s : spans)
            busy += s.second - s.first + 2 * margin;
        if (busy > 0.5 * fast.edges->length)
            continue; // busy all the time: any line's edges fall inside
        size_t k = 0, inside = 0;
        for (int32_t x : t) {
            while (k < spans.size() && spans[k].second + margin < x)
                ++k;
            inside += k < spans.size() && spans[k].first - margin <= x;
        }
        if (double(inside) >= 0.9 * double(t.size()))
            return fast.channel;
    }
    return -1;
}

QString UartText(const UartFormat &f)
{
    const QString stop = f.stopBits == 1.5 ? QStringLiteral("1.5") : QString::number(int(f.stopBits));
    return QStringLiteral("%1 %2%3%4").arg(f.baud).arg(f.dataBits).arg(QLatin1Char(f.parity)).arg(stop);
}

// "8 data bits, no parity and 1 stop bit assumed": the parts of the format
// the frames do not show; empty when they show it all.
QString UartAssumptions(const UartFormat &f)
{
    QStringList parts;
    if (f.dataBitsAssumed)
        parts << QStringLiteral("%1 data bits").arg(f.dataBits);
    if (f.parityAssumed)
        parts << QStringLiteral("no parity");
    if (f.stopBitsAssumed)
        parts << QStringLiteral("1 stop bit");
    if (parts.isEmpty())
        return QString();
    const QString last = parts.takeLast();
    return (parts.isEmpty() ? last : parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last)
        + QStringLiteral(" assumed");
}

// The sigrok decoder accepts stop bits up to 1.5 and checks only the first
// one, so two stop bits are handed to it as 1.5.
QString UartDecoder(int channel, const UartFormat &f)
{
    const char *parity = f.parity == 'E' ? "even" : f.parity == 'O' ? "odd" : "none";
    QString d = QStringLiteral("uart:rx=%1:baudrate=%2:data_bits=%3:parity=%4:stop_bits=%5")
                    .arg(Ch(channel))
                    .arg(f.baud)
                    .arg(f.dataBits)
                    .arg(QLatin1String(parity))
                    .arg(f.stopBits > 1 ? QStringLiteral("1.5") : QStringLiteral("1.0"));
    if (!f.idleHigh)
        d += QStringLiteral(":invert_rx=yes");
    return d;
}

Finding ChannelFinding(int c, const ChannelReport &r, Capture::Mode mode)
{
    Finding f;
    f.kind = r.kind;
    f.channels = {c};
    f.confidence = r.confidence;
    QString what;
    switch (r.kind) {
    case SignalKind::Constant:
        what = r.level ? QStringLiteral("constant high") : QStringLiteral("constant low");
        break;
    case SignalKind::Clock:
        what = QStringLiteral("clock %1, duty %2").arg(FormatHz(r.frequencyHz), Percent(r.dutyMin));
        if (r.evidence.startsWith(QLatin1String("bursts")))
            what = QStringLiteral("clock bursts at %1, no bus found around them").arg(FormatHz(r.frequencyHz));
        break;
    case SignalKind::Pwm:
        what = QStringLiteral("PWM %1, duty %2 to %3").arg(FormatHz(r.frequencyHz), Percent(r.dutyMin), Percent(r.dutyMax));
        f.decoder = QStringLiteral("pwm:data=%1").arg(Ch(c));
        break;
    case SignalKind::Uart: {
        QString how = r.uart.idleHigh ? QStringLiteral("idle high") : QStringLiteral("idle low, inverted");
        if (const QString assumed = UartAssumptions(r.uart); !assumed.isEmpty())
            how += QStringLiteral("; ") + assumed;
        what = QStringLiteral("UART %1 (%2), %3 of %4 frames check")
                   .arg(UartText(r.uart), how, Percent(r.uart.frames ? double(r.uart.framesOk) / r.uart.frames : 0))
                   .arg(r.uart.frames);
        if (r.uart.baud != int(std::lround(r.uart.measuredBaud)))
            what += QStringLiteral(" (measured %1 baud)").arg(std::lround(r.uart.measuredBaud));
        f.decoder = UartDecoder(c, r.uart);
        break;
    }
    case SignalKind::RateTooLow:
        // Pulses of about one sample may be far shorter in truth (or not
        // even seen): the rate they suggest is then only a lower bound.
        if (r.evidence.startsWith(QLatin1String("changes only")))
            what = QStringLiteral("sample rate too low to decode (%1)").arg(r.evidence);
        else if (r.shortestPulseSamples < 1.5)
            what = QStringLiteral("sample rate too low to decode (pulses of a sample, %1, or shorter)")
                       .arg(FormatSeconds(r.shortestPulseSeconds));
        else
            what = QStringLiteral("sample rate too low to decode (pulses of about %1)").arg(FormatSeconds(r.shortestPulseSeconds));
        if (r.neededRateHz == 0)
            what += QStringLiteral("; none of the instrument's rates is fast enough");
        else
            what += (r.shortestPulseSamples < 1.5 ? QStringLiteral("; at least %1%2 needed") : QStringLiteral("; %1 or faster%2 would do"))
                        .arg(Capture::rateTextFor(r.neededMode, Capture::rateIndexForHz(r.neededMode, r.neededRateHz)),
                             r.neededMode != mode ? QStringLiteral(" in Logic mode") : QString());
        break;
    case SignalKind::Noise:
        what = QStringLiteral("noise (%1)").arg(r.evidence);
        break;
    default:
        what = QStringLiteral("unknown (%1)").arg(r.evidence);
        break;
    }
    f.text = QStringLiteral("%1: %2").arg(Ch(c), what);
    return f;
}

Finding SpiFinding(const SpiBus &b)
{
    Finding f;
    f.kind = SignalKind::Spi;
    f.confidence = b.confidence;
    QStringList roles, channels;
    QString decoder = QStringLiteral("spi:clk=%1").arg(Ch(b.clk));
    f.channels.push_back(b.clk);
    roles << QStringLiteral("clk %1").arg(Ch(b.clk));
    // Which way a data line goes is not on the wire: the lower one is taken
    // as MOSI.
    if (b.mosi >= 0) {
        f.channels.push_back(b.mosi);
        decoder += QStringLiteral(":mosi=%1").arg(Ch(b.mosi));
    }
    if (b.miso >= 0) {
        f.channels.push_back(b.miso);
        decoder += QStringLiteral(":miso=%1").arg(Ch(b.miso));
        roles << QStringLiteral("data %1 and %2 taken as mosi and miso").arg(Ch(b.mosi), Ch(b.miso));
    } else if (b.mosi >= 0) {
        roles << QStringLiteral("data %1 taken as mosi").arg(Ch(b.mosi));
    }
    if (b.cs >= 0) {
        f.channels.push_back(b.cs);
        roles << QStringLiteral("cs %1 active %2").arg(Ch(b.cs), b.csActiveLow ? QStringLiteral("low") : QStringLiteral("high"));
        decoder += QStringLiteral(":cs=%1").arg(Ch(b.cs));
    } else {
        roles << QStringLiteral("no chip select");
    }
    decoder += QStringLiteral(":cpol=%1:cpha=%2:bitorder=%3")
                   .arg(b.cpol)
                   .arg(b.cpha)
                   .arg(b.msbFirst ? QStringLiteral("msb-first") : QStringLiteral("lsb-first"));
    if (b.cs >= 0)
        decoder += QStringLiteral(":cs_polarity=%1").arg(b.csActiveLow ? QStringLiteral("active-low") : QStringLiteral("active-high"));
    for (int c : f.channels)
        channels << Ch(c);
    f.text = QStringLiteral("%1: SPI mode %2 (%3), %4%5, %6, %7 words")
                 .arg(channels.join(QLatin1Char(' ')))
                 .arg(b.mode())
                 .arg(roles.join(QStringLiteral(", ")))
                 .arg(b.msbFirst ? QStringLiteral("MSB first") : QStringLiteral("LSB first"))
                 .arg(b.bitOrderAssumed ? QStringLiteral(" (assumed)") : QString())
                 .arg(FormatHz(b.clockHz))
                 .arg(b.words);
    f.decoder = decoder;
    return f;
}

Finding I2cFinding(const I2cBus &b)
{
    Finding f;
    f.kind = SignalKind::I2c;
    f.confidence = b.confidence;
    f.channels = {b.scl, b.sda};
    QStringList addresses;
    for (int a : b.addresses)
        addresses << QStringLiteral("0x%1").arg(a, 2, 16, QLatin1Char('0'));
    f.text = QStringLiteral("%1 %2: I2C (scl %1, sda %2) %3, address%4 %5, %6 of %7 transactions complete")
                 .arg(Ch(b.scl), Ch(b.sda), FormatHz(b.clockHz))
                 .arg(addresses.size() == 1 ? "" : "es")
                 .arg(addresses.isEmpty() ? QStringLiteral("none") : addresses.join(QLatin1Char(' ')))
                 .arg(b.wellFormed)
                 .arg(b.transactions);
    f.decoder = QStringLiteral("i2c:scl=%1:sda=%2").arg(Ch(b.scl), Ch(b.sda));
    return f;
}

// A channel that carries one line of a bus found: the bus tells for it.
template <typename Bus>
void MarkBusLine(ChannelReport &r, SignalKind kind, const char *role, int busIndex, const Bus &bus)
{
    r.kind = kind;
    r.role = QLatin1String(role);
    r.bus = busIndex;
    r.confidence = bus.confidence;
    r.evidence = bus.evidence;
    r.frequencyHz = bus.clockHz;
}

} // namespace

QString SignalKindName(SignalKind kind)
{
    switch (kind) {
    case SignalKind::Unknown: return QStringLiteral("unknown");
    case SignalKind::Constant: return QStringLiteral("constant");
    case SignalKind::Clock: return QStringLiteral("clock");
    case SignalKind::Pwm: return QStringLiteral("PWM");
    case SignalKind::Uart: return QStringLiteral("UART");
    case SignalKind::Spi: return QStringLiteral("SPI");
    case SignalKind::I2c: return QStringLiteral("I2C");
    case SignalKind::Noise: return QStringLiteral("noise");
    case SignalKind::RateTooLow: return QStringLiteral("sample rate too low");
    }
    return QString();
}

QString Finding::line() const
{
    return decoder.isEmpty() ? text : text + QStringLiteral("  --decode ") + decoder;
}
DetectionReport DetectProtocols(const Capture &capture)
{
    DetectionReport report;
    if (capture.isEmpty())
        return report;
    const std::array<LineEdges, Capture::kChannels> edges = ExtractLineEdges(capture);
    const double rate = double(capture.sampleRateHz());
    std::vector<Line> lines;
    lines.reserve(Capture::kChannels);
    for (int c = 0; c < Capture::kChannels; ++c) {
        lines.push_back(AnalyseLine(c, edges[size_t(c)], rate));
        report.channels[size_t(c)].edges = int(edges[size_t(c)].times.size());
    }

    // Buses first: their lines look like nothing in particular on their own
    // (a chip select like a slow clock, data like noise).
    std::vector<bool> used(Capture::kChannels, false);
    report.i2c = DetectI2c(lines, used);
    report.spi = DetectSpi(lines, rate, used);
    for (size_t b = 0; b < report.i2c.size(); ++b) {
        const I2cBus &bus = report.i2c[b];
        for (auto [ch, role] : {std::pair<int, const char *>{bus.scl, "scl"}, {bus.sda, "sda"}}) {
            MarkBusLine(report.channels[size_t(ch)], SignalKind::I2c, role, int(b), bus);
        }
    }
    for (size_t b = 0; b < report.spi.size(); ++b) {
        const SpiBus &bus = report.spi[b];
        for (auto [ch, role] : {std::pair<int, const char *>{bus.clk, "clk"}, {bus.mosi, "mosi"}, {bus.miso, "miso"},
                                {bus.cs, "cs"}}) {
            if (ch < 0)
                continue;
            MarkBusLine(report.channels[size_t(ch)], SignalKind::Spi, role, int(b), bus);
        }
    }
    for (int c = 0; c < Capture::kChannels; ++c) {
        if (!used[size_t(c)])
            ClassifyAlone(capture, lines[size_t(c)], report.channels[size_t(c)]);
    }
    for (int c = 0; c < Capture::kChannels; ++c) {
        ChannelReport &r = report.channels[size_t(c)];
        // A clean clock or PWM stands on its own, whatever it lines up with.
        if (used[size_t(c)] || (r.kind != SignalKind::Uart && r.kind != SignalKind::Noise && r.kind != SignalKind::Unknown))
            continue;
        const int fast = FollowsTooFastLine(lines[size_t(c)], lines);
        if (fast < 0)
            continue;
        const ChannelReport &leader = report.channels[size_t(fast)];
        const int edgeCount = r.edges;
        r = leader;
        r.edges = edgeCount;
        r.confidence = std::min(leader.confidence, 0.7);
        r.evidence = QStringLiteral("changes only while CH%1, too fast for this rate, is busy").arg(fast + 1);
    }

    // One finding per bus and per remaining channel, by lowest channel.
    for (const I2cBus &b : report.i2c)
        report.findings.push_back(I2cFinding(b));
    for (const SpiBus &b : report.spi)
        report.findings.push_back(SpiFinding(b));
    for (int c = 0; c < Capture::kChannels; ++c) {
        if (!used[size_t(c)])
            report.findings.push_back(ChannelFinding(c, report.channels[size_t(c)], capture.mode()));
    }
    std::stable_sort(report.findings.begin(), report.findings.end(), [](const Finding &a, const Finding &b) {
        return *std::min_element(a.channels.begin(), a.channels.end())
            < *std::min_element(b.channels.begin(), b.channels.end());
    });
    return report;
}
