// Protocol detection and measurements on generated captures: UART, SPI, I2C,
// clocks, PWM, constant and noisy lines, rates too low to resolve them, and
// the simulator's own scene. Suggested decoders are run with sigrok-cli on
// the capture written as a session file; they must decode what was sent.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <random>

#include "analysis/detect_command.h"
#include "analysis/measurements.h"
#include "analysis/protocol_detection.h"
#include "export/capture_file_io.h"
#include "sim/signals.h"

namespace {

// ---- generated lines: level changes at fractional sample times -------------
struct Wave {
    int initial = 0, level = 0;
    std::vector<std::pair<double, int>> changes;
    explicit Wave(int idle = 0) : initial(idle), level(idle) {}
    void set(double t, int l)
    {
        if (l != level)
            changes.push_back({t, l});
        level = l;
    }
};
using Waves = std::array<Wave, 8>;

// Samples the waves as the instrument does: a change shows from the first
// sample at or after it.
Capture Build(const Waves &w, int rate, Capture::Mode mode = Capture::Mode::Logic)
{
    const int32_t length = 32767;
    std::vector<std::tuple<int32_t, int, int>> ev;
    uint8_t levels = 0;
    for (int c = 0; c < 8; ++c) {
        levels |= uint8_t(w[c].initial << c);
        for (auto [t, l] : w[c].changes) {
            if (int32_t s = int32_t(std::ceil(t)); s < length)
                ev.emplace_back(std::max(s, 0), c, l);
        }
    }
    std::stable_sort(ev.begin(), ev.end(), [](auto &a, auto &b) { return std::get<0>(a) < std::get<0>(b); });
    std::vector<CaptureRecord> rec{{0, levels, 0}};
    for (auto [s, c, l] : ev) {
        levels = uint8_t((levels & ~(1 << c)) | (l << c));
        if (rec.back().time == s)
            rec.back().levels = levels;
        else
            rec.push_back({s, levels, 0});
    }
    return Capture(mode, rate, length, rec);
}

double Rate(int i) { return double(Capture::sampleRateHzFor(Capture::Mode::Logic, i)); }

struct UartFmt {
    int data = 8;
    char parity = 'N';
    double stop = 1;
};

// Back-to-back frames from `t` (bit = samples per bit); returns the end.
double Uart(Wave &w, double t, double bit, const std::vector<int> &bytes, UartFmt f, bool idleHigh)
{
    auto put = [&](int logical) { w.set(t, idleHigh ? logical : 1 - logical), t += bit; };
    for (int b : bytes) {
        put(0);
        int ones = 0;
        for (int k = 0; k < f.data; ++k)
            put((b >> k) & 1), ones += (b >> k) & 1;
        if (f.parity != 'N')
            put((ones + (f.parity == 'O')) & 1);
        w.set(t, idleHigh), t += bit * f.stop;
    }
    return t;
}

// One SPI transfer from `t` with half period h; returns the end.
double Spi(Waves &w, double t, double h, int mode, bool msb, const std::vector<int> &mosi,
           const std::vector<int> &miso, int cs)
{
    const int cpol = mode >> 1, cpha = mode & 1;
    if (cs >= 0)
        w[cs].set(t, 0);
    auto bit = [&](int b, int k) { return (b >> (msb ? 7 - k : k)) & 1; };
    for (size_t i = 0; i < mosi.size(); ++i) {
        for (int k = 0; k < 8; ++k) {
            const double lead = t + h, trail = t + 2 * h;
            const double change = cpha ? lead : t; // CPHA 0: out before the leading edge, at the previous trailing one
            w[2].set(change, bit(mosi[i], k));
            w[3].set(change, bit(miso[i], k));
            w[1].set(lead, 1 - cpol);
            w[1].set(trail, cpol);
            t = trail;
        }
    }
    t += h;
    w[2].set(t, 0), w[3].set(t, 0);
    if (cs >= 0)
        w[cs].set(t + h, 1);
    return t + 2 * h;
}

// One I2C transaction on CH5 (SCL) / CH6 (SDA), period p; returns the end.
double I2c(Waves &w, double t, double p, int address, const std::vector<int> &data)
{
    Wave &scl = w[4], &sda = w[5];
    const double low = 0.6 * p, high = 0.4 * p;
    sda.set(t, 0), t += high, scl.set(t, 0);
    auto bit = [&](int b) { sda.set(t + low / 2, b), scl.set(t + low, 1), scl.set(t + p, 0), t += p; };
    std::vector<int> bytes{address << 1};
    bytes.insert(bytes.end(), data.begin(), data.end());
    for (int b : bytes) {
        for (int k = 7; k >= 0; --k)
            bit((b >> k) & 1);
        bit(0); // acknowledge
    }
    sda.set(t + low / 4, 0), scl.set(t + low, 1), sda.set(t + low + high / 2, 1);
    return t + 2 * p;
}

std::vector<int> Bytes(std::mt19937 &g, int n, int mask = 0xFF)
{
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(int(g() & unsigned(mask)));
    return v;
}
std::vector<int> Text(const char *s)
{
    std::vector<int> v;
    for (; *s; ++s)
        v.push_back(uint8_t(*s));
    return v;
}

// ---- the case table ---------------------------------------------------------
struct Expect {
    QString decoder;           // the suggested decoder, exactly
    std::vector<int> sent;     // bytes it must decode (sigrok cases)
    QString annotations;       // sigrok-cli -A argument selecting the data annotations
};
struct Case {
    QString name;
    Capture capture;
    std::function<QString(const DetectionReport &)> check; // empty when right
    Expect sigrok;                                          // decoder empty: no sigrok run
};

QString Near(double got, double want, double rel, const char *what)
{
    return std::abs(got - want) <= rel * want ? QString() : QStringLiteral("%1 %2, want %3").arg(what).arg(got).arg(want);
}

QString UartDecoderFor(int baud, UartFmt f, bool idleHigh)
{
    return QStringLiteral("uart:rx=CH1:baudrate=%1:data_bits=%2:parity=%3:stop_bits=%4%5")
        .arg(baud)
        .arg(f.data)
        .arg(f.parity == 'E' ? "even" : f.parity == 'O' ? "odd" : "none")
        .arg(f.stop > 1 ? "1.5" : "1.0")
        .arg(idleHigh ? "" : ":invert_rx=yes");
}

QString SpiDecoderFor(int mode, bool msb, bool cs)
{
    return QStringLiteral("spi:clk=CH2:mosi=CH3:miso=CH4%1:cpol=%2:cpha=%3:bitorder=%4%5")
        .arg(cs ? ":cs=CH5" : "")
        .arg(mode >> 1)
        .arg(mode & 1)
        .arg(msb ? "msb-first" : "lsb-first")
        .arg(cs ? ":cs_polarity=active-low" : "");
}

QString DecoderOf(const DetectionReport &r, int channel)
{
    for (const Finding &f : r.findings) {
        if (f.channels.front() == channel)
            return f.decoder;
    }
    return QString();
}

QString KindIs(const DetectionReport &r, int ch, SignalKind k)
{
    return r.channels[size_t(ch)].kind == k ? QString()
                                            : QStringLiteral("CH%1 is %2").arg(ch + 1).arg(SignalKindName(r.channels[size_t(ch)].kind));
}

// The rate index (Logic) giving `samples` per unit of `seconds`, or the nearest.
int RateFor(double seconds, double samples)
{
    int best = 0;
    for (int i = 0; i < 8; ++i) {
        if (seconds * Rate(i) >= samples)
            best = i;
    }
    return best;
}

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    std::mt19937 g(1234);
    // UART: rates, polarities, formats.
    const UartFmt formats[] = {{8, 'N', 1}, {7, 'N', 1}, {8, 'E', 1}, {7, 'O', 1}, {8, 'N', 2}, {7, 'E', 1}};
    int n = 0;
    for (int baud : {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000, 31250}) {
        for (bool idleHigh : {true, false}) {
            for (const UartFmt &f : formats) {
                ++n;
                const int rate = RateFor(1.0 / baud, 8 + (n % 3) * 6);
                const double bit = Rate(rate) / baud;
                Waves w;
                w[0] = Wave(idleHigh);
                double t = 37.3;
                std::vector<int> sent;
                for (int burst = 0; t + 40 * bit * 13 < 32000; ++burst) {
                    const std::vector<int> bytes = n % 4 == 0 ? Text("Hello, world! 42\r\n") : Bytes(g, 8, (1 << f.data) - 1);
                    t = Uart(w[0], t, bit, bytes, f, idleHigh) + bit * (burst % 3) * 2.7;
                    sent.insert(sent.end(), bytes.begin(), bytes.end());
                }
                Case c{QStringLiteral("UART %1 %2%3%4 %5").arg(baud).arg(f.data).arg(f.parity).arg(f.stop).arg(idleHigh ? "high" : "low"),
                       Build(w, rate), nullptr, {}};
                const QString want = UartDecoderFor(baud, f, idleHigh);
                c.check = [want](const DetectionReport &r) {
                    const QString k = KindIs(r, 0, SignalKind::Uart);
                    return !k.isEmpty() ? k : DecoderOf(r, 0) == want ? QString() : DecoderOf(r, 0) + " != " + want;
                };
                if (n % 23 == 1)
                    c.sigrok = {want, sent, QStringLiteral("uart=rx-data")};
                cases.push_back(c);
            }
        }
    }
    // SPI: modes, bit orders, with and without chip select (CH5).
    for (int mode = 0; mode < 4; ++mode) {
        for (bool msb : {true, false}) {
            for (bool cs : {true, false}) {
                const int rate = (mode + cs) % 2 ? 0 : 1;
                const double h = Rate(rate) / (250e3 * (1 + mode)) / 2;
                Waves w;
                w[1] = Wave(mode >> 1);
                w[4] = Wave(1);
                std::vector<int> sent;
                double t = 50;
                for (int k = 0; t < 30000 - 200 * h; ++k) {
                    const std::vector<int> mosi = k % 2 ? Text("SPI!") : std::vector<int>{0x03, k & 0x3F, 0x10, 0x00};
                    t = Spi(w, t, h, mode, msb, mosi, Text("\x01\x02ok"), cs ? 4 : -1) + 20 * h;
                    sent.insert(sent.end(), mosi.begin(), mosi.end());
                }
                const QString want = SpiDecoderFor(mode, msb, cs);
                Case c{QStringLiteral("SPI mode %1 %2 %3").arg(mode).arg(msb ? "MSB" : "LSB").arg(cs ? "cs" : "no cs"), Build(w, rate),
                       [want](const DetectionReport &r) {
                           const QString k = KindIs(r, 1, SignalKind::Spi);
                           return !k.isEmpty() ? k : DecoderOf(r, 1) == want ? QString() : DecoderOf(r, 1) + " != " + want;
                       },
                       {}};
                if ((mode == 0 && cs == msb) || (mode == 3 && !msb && !cs))
                    c.sigrok = {want, sent, QStringLiteral("spi=mosi-data")};
                cases.push_back(c);
            }
        }
    }
    // I2C at 100 and 400 kHz, several addresses.
    for (double hz : {100e3, 400e3}) {
        for (int set = 0; set < 3; ++set) {
            const int rate = hz < 200e3 ? std::array{3, 4, 2}[size_t(set)] : set;
            const double p = Rate(rate) / hz;
            const std::vector<int> addresses = {0x50 + set, 0x1D, 0x68 - set};
            Waves w;
            w[4] = w[5] = Wave(1);
            double t = 100;
            std::vector<int> sent;
            for (int k = 0; t < 32000 - 60 * p; ++k) {
                const std::vector<int> data = Bytes(g, 1 + k % 3);
                t = I2c(w, t, p, addresses[size_t(k % 3)], data) + 3 * p;
                sent.push_back(addresses[size_t(k % 3)]);
                sent.insert(sent.end(), data.begin(), data.end());
            }
            Case c{QStringLiteral("I2C %1 kHz set %2").arg(hz / 1e3).arg(set), Build(w, rate),
                   [addresses](const DetectionReport &r) {
                       if (QString k = KindIs(r, 4, SignalKind::I2c); !k.isEmpty() || r.i2c.empty())
                           return k + " (no I2C)";
                       std::vector<int> want = addresses;
                       std::sort(want.begin(), want.end());
                       return r.i2c[0].scl == 4 && r.i2c[0].sda == 5 && r.i2c[0].addresses == want ? QString() : QStringLiteral("roles or addresses");
                   },
                   {}};
            if (set == 0)
                c.sigrok = {QStringLiteral("i2c:scl=CH5:sda=CH6"), sent,
                            QStringLiteral("i2c=address-write:data-write")};
            cases.push_back(c);
        }
    }
    // Clocks (CH8), PWM (CH7), constant (CH3) and noisy (CH4) lines.
    for (auto [hz, duty, rate] : {std::tuple{1e6, 0.5, 0}, {12345.0, 0.25, 4}, {500.0, 0.5, 7}, {2e6, 0.5, 0}}) {
        Waves w;
        const double p = Rate(rate) / hz;
        for (double t = 13.7; t < 33000; t += p)
            w[7].set(t, 1), w[7].set(t + duty * p, 0);
        cases.push_back({QStringLiteral("clock %1 Hz").arg(hz), Build(w, rate), [hz, duty](const DetectionReport &r) {
                             const ChannelReport &c = r.channels[7];
                             return KindIs(r, 7, SignalKind::Clock) + Near(c.frequencyHz, hz, 0.01, "Hz") + Near(c.dutyMin, duty, 0.05, "duty");
                         }, {}});
    }
    for (auto [hz, rate] : {std::pair{20e3, 1}, {1e3, 5}, {50e3, 3}}) {
        Waves w;
        const double p = Rate(rate) / hz;
        int k = 0;
        for (double t = 0; t < 33000; t += p, ++k)
            w[6].set(t, 1), w[6].set(t + p * (0.1 + 0.1 * (k % 9)), 0);
        cases.push_back({QStringLiteral("PWM %1 Hz").arg(hz), Build(w, rate), [hz](const DetectionReport &r) {
                             const ChannelReport &c = r.channels[6];
                             return KindIs(r, 6, SignalKind::Pwm) + Near(c.frequencyHz, hz, 0.01, "Hz") + Near(c.dutyMin, 0.1, 0.2, "min duty")
                                 + Near(c.dutyMax, 0.9, 0.05, "max duty");
                         }, {}});
    }
    for (int level : {0, 1}) {
        Waves w;
        w[2] = Wave(level);
        cases.push_back({QStringLiteral("constant %1").arg(level), Build(w, 2), [level](const DetectionReport &r) {
                             return KindIs(r, 2, SignalKind::Constant) + (r.channels[2].level == level ? "" : "level");
                         }, {}});
    }
    for (double mean : {12.0, 40.0, 150.0, 600.0}) {
        Waves w;
        std::exponential_distribution<double> gap(1 / mean);
        int l = 0;
        for (double t = 1; t < 33000; t += 1 + gap(g))
            w[3].set(t, l ^= 1);
        cases.push_back({QStringLiteral("noise %1").arg(mean), Build(w, 0), [](const DetectionReport &r) {
                             const SignalKind k = r.channels[3].kind;
                             return k == SignalKind::Noise || k == SignalKind::Unknown ? QString() : "CH4 is " + SignalKindName(k);
                         }, {}});
    }
    // Too fast for the rate: the suggestion is the slowest rate giving 4
    // samples (a Logic rate when no Analog rate is fast enough).
    using Make = std::function<void(Waves &, double)>;
    const auto analog = Capture::Mode::Analog;
    const std::tuple<const char *, int, Capture::Mode, int, uint64_t, Make> tooFast[] = {
        {"UART 115200 at 200 kHz", 0, {}, 6, 500000, [](Waves &w, double r) { w[0] = Wave(1), Uart(w[0], 3, r / 115200, std::vector<int>(2000, 0x55), {}, true); }},
        {"UART 1M at 2 MHz", 0, {}, 3, 5000000, [&](Waves &w, double r) { w[0] = Wave(1), Uart(w[0], 3, r / 1e6, Bytes(g, 3000), {}, true); }},
        {"UART 9600 at 20 kHz Analog", 0, analog, 0, 100000, [&](Waves &w, double r) { w[0] = Wave(1), Uart(w[0], 3, r / 9600, Bytes(g, 3000), {}, true); }},
        {"clock 4 MHz at 20 MHz", 0, {}, 0, 0, [](Waves &w, double r) { for (double t = 0; t < 33000; t += r / 4e6) w[0].set(t, 1), w[0].set(t + r / 8e6, 0); }},
        {"SPI 1 MHz at 5 MHz", 1, {}, 2, 10000000, [](Waves &w, double r) { for (double t = 0; t < 32000;) t = Spi(w, t, r / 2e6, 0, true, {0x5A, 0x33}, {0, 0}, -1) + 200; }},
        {"I2C 400 kHz at 2 MHz", 4, {}, 3, 5000000, [](Waves &w, double r) { w[4] = w[5] = Wave(1); for (double t = 0; t < 32000;) t = I2c(w, t, r / 400e3, 0x42, {0x12}) + 200; }},
    };
    for (const auto &[name, ch, mode, rate, want, make] : tooFast) {
        Waves w;
        make(w, double(Capture::sampleRateHzFor(mode, rate)));
        const int c = ch;
        const uint64_t wantHz = want;
        cases.push_back({QString::fromLatin1(name), Build(w, rate, mode), [c, wantHz](const DetectionReport &r) {
                             const ChannelReport &k = r.channels[size_t(c)];
                             return KindIs(r, c, SignalKind::RateTooLow) + (k.neededRateHz == wantHz ? QString() : QStringLiteral(" needs %1").arg(k.neededRateHz))
                                 + (k.neededMode == Capture::Mode::Logic ? "" : " in Analog mode");
                         }, {}});
    }
    return cases;
}

// Runs sigrok-cli on the capture as a session file; the data annotations' values.
std::vector<int> SigrokDecode(const Capture &capture, const QString &decoder, const QString &annotations, QString *error)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.sr"));
    if (!ExportCaptureFile(capture, path, error))
        return {};
    QProcess p;
    p.start(QStringLiteral("sigrok-cli"), {"-i", path, "-P", decoder, "-A", annotations});
    p.waitForFinished(30000);
    std::vector<int> values;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int v = line.section(' ', -1).toInt(&ok, 16);
        if (ok)
            values.push_back(v);
    }
    if (p.exitCode() != 0)
        *error = QString::fromUtf8(p.readAllStandardError());
    return values;
}

bool HaveSigrok() { return !QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty(); }

} // namespace

TEST(SignalAnalysis, DetectsGeneratedSignals)
{
    const std::vector<Case> cases = Cases();
    int right = 0, sigrokRuns = 0;
    for (const Case &c : cases) {
        const DetectionReport r = DetectProtocols(c.capture);
        const QString why = c.check(r);
        right += why.isEmpty();
        if (!why.isEmpty()) {
            std::string lines;
            for (const Finding &f : r.findings)
                lines += "    " + f.line().toStdString() + "\n";
            std::printf("  missed %s: %s\n%s", qPrintable(c.name), qPrintable(why), lines.c_str());
        }
        // The suggested decoder must decode what was sent.
        if (!c.sigrok.decoder.isEmpty() && why.isEmpty() && HaveSigrok()) {
            ++sigrokRuns;
            QString error;
            std::vector<int> got = SigrokDecode(c.capture, c.sigrok.decoder, c.sigrok.annotations, &error);
            EXPECT_TRUE(error.isEmpty()) << qPrintable(c.name) << ": " << qPrintable(error);
            EXPECT_EQ(got, c.sigrok.sent) << qPrintable(c.name);
        }
    }
    const double score = double(right) / double(cases.size());
    std::printf("detection score: %d of %zu cases right (%.1f%%), %d checked with sigrok-cli\n", right, cases.size(),
                100 * score, sigrokRuns);
    EXPECT_GE(score, 0.95);
}

namespace {
// The simulator's scene at a Logic rate, one record per level change.
Capture SimCapture(int rate)
{
    std::vector<CaptureRecord> rec;
    int previous = -1;
    for (int32_t i = 0; i < 32767; ++i) {
        const uint8_t l = sim::logicLevelsAt(i, rate);
        if (l != previous)
            rec.push_back({i, l, 0}), previous = l;
    }
    return Capture(Capture::Mode::Logic, rate, 32767, rec);
}
} // namespace

// What the scene sends: the UART text lines, SPI transfers and I2C transactions.
std::vector<int> SimSent(const char *what, int count)
{
    std::vector<int> v;
    for (int n = 0; int(v.size()) < count; ++n) {
        if (what[0] == 'u')
            for (char ch : QStringLiteral("la-sim #%1 Hello!\r\n").arg(n, 4, 10, QLatin1Char('0')).toStdString())
                v.push_back(uint8_t(ch));
        else if (what[0] == 's')
            v.insert(v.end(), {0x3A, n & 0xFF, (n * 5 + 0x21) & 0xFF});
        else
            v.insert(v.end(), {0x50, (n * 3) & 0xFF, 0x40 + n % 64});
    }
    v.resize(size_t(count));
    return v;
}

TEST(SignalAnalysis, SimulatorScene)
{
    const QString uart = QStringLiteral("uart:rx=CH1:baudrate=115200:data_bits=8:parity=none:stop_bits=1.0");
    const QString spi = QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH4:cpol=0:cpha=0:bitorder=msb-first:cs_polarity=active-low");
    const QString i2c = QStringLiteral("i2c:scl=CH5:sda=CH6");
    // Bit 115200 baud: 500 kHz and faster; SPI clock half 520 ns: 10 MHz;
    // I2C half 5.2 us: 1 MHz; the square wave needs a capture longer than a period.
    for (int rate : {0, 1, 2, 4, 5, 6}) {
        SCOPED_TRACE(rate);
        const Capture capture = SimCapture(rate);
        const DetectionReport r = DetectProtocols(capture);
        std::string lines;
        for (const Finding &f : r.findings)
            lines += "\n  " + f.line().toStdString();
        SCOPED_TRACE(lines);
        auto needs = [&](int ch, int rateIndex) {
            EXPECT_EQ(r.channels[size_t(ch)].kind, SignalKind::RateTooLow) << ch;
            EXPECT_EQ(r.channels[size_t(ch)].neededRateHz, uint64_t(Rate(rateIndex))) << ch;
        };
        if (rate <= 5) {
            EXPECT_EQ(DecoderOf(r, 0), uart);
        } else {
            needs(0, 5);
        }
        if (rate <= 1) {
            EXPECT_EQ(DecoderOf(r, 1), spi);
        } else if (rate == 2) {
            needs(1, 1);
        }
        for (int ch = 1; ch < 4 && rate > 1; ++ch) // nothing to decode on an unresolved bus
            EXPECT_TRUE(DecoderOf(r, ch).isEmpty()) << ch;
        if (rate <= 4) {
            EXPECT_EQ(DecoderOf(r, 4), i2c);
            ASSERT_EQ(r.i2c.size(), 1u);
            EXPECT_EQ(r.i2c[0].addresses, std::vector<int>{0x50});
        } else {
            needs(4, 4);
        }
        if (rate <= 5) {
            const ChannelReport &pwm = r.channels[6];
            EXPECT_EQ(pwm.kind, SignalKind::Pwm);
            const QString off = Near(pwm.frequencyHz, 20e3, 0.01, "Hz") + Near(pwm.dutyMin, 0.1, 0.3, "min") + Near(pwm.dutyMax, 0.9, 0.03, "max");
            EXPECT_TRUE(off.isEmpty()) << qPrintable(off);
        }
        const ChannelReport &square = r.channels[7];
        EXPECT_EQ(square.kind, rate == 0 ? SignalKind::Unknown : SignalKind::Clock);
        const QString off = Near(square.frequencyHz, 500, 0.01, "Hz") + Near(square.dutyMin, 0.5, 0.01, "duty");
        EXPECT_TRUE(rate == 0 || off.isEmpty()) << qPrintable(off);

        // The suggested decoders decode what the scene sends.
        if ((rate == 0 || rate == 4) && HaveSigrok()) {
            for (auto [decoder, annotations, what] : {std::tuple{uart, "uart=rx-data", "u"}, {spi, "spi=mosi-data", "s"},
                                                      {i2c, "i2c=address-write:data-write", "i"}}) {
                if (what[0] == 's' && rate != 0)
                    continue;
                QString error;
                const std::vector<int> got = SigrokDecode(capture, decoder, annotations, &error);
                EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
                EXPECT_GE(got.size(), 6u) << what;
                EXPECT_EQ(got, SimSent(what, int(got.size()))) << what;
            }
        }
    }
}

TEST(SignalAnalysis, DetectCommandPrintsOneLinePerFinding)
{
    QString text;
    QTextStream out(&text);
    EXPECT_EQ(RunDetectCommand(SimCapture(0), out), 0);
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("CH1: UART 115200 8N1 (idle high), 100% of 18 frames check")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].endsWith("  --decode uart:rx=CH1:baudrate=115200:data_bits=8:parity=none:stop_bits=1.0"));
    EXPECT_TRUE(lines[4].startsWith("CH8: unknown")) << qPrintable(lines[4]);
    text.clear();
    EXPECT_EQ(RunDetectCommand(Capture(), out), 1);
}

TEST(SignalAnalysis, MeasuresLogicChannels)
{
    // 1 MHz (1 us periods), 100 samples. CH1: high 3 of every 10 samples
    // (from 0); CH2 high throughout; CH3 one pulse [40, 45).
    std::vector<CaptureRecord> rec;
    for (int32_t i = 0; i < 100; ++i)
        rec.push_back({i, uint8_t((i % 10 < 3) | 2 | (i >= 40 && i < 45) << 2), 0});
    const Capture capture(Capture::Mode::Logic, 4, 100, rec);
    struct Row {
        int32_t from, to;
        int ch, rising, falling;
        double hz, duty, highFraction, high, low; // pulse lengths in us (shortest = longest here), 0: none whole
    };
    const Row rows[] = {
        {0, 100, 0, 9, 10, 100e3, 0.3, 0.3, 3, 7},  {5, 95, 0, 9, 9, 100e3, 0.3, 0.3, 3, 7},
        {0, 100, 1, 0, 0, 0, 1, 1, 0, 0},           {0, 100, 2, 1, 1, 0, 0.05, 0.05, 5, 0},
        {41, 200, 2, 0, 1, 0, 4 / 59.0, 4 / 59.0, 0, 0}, {-5, 12, 0, 1, 1, 0, 5 / 12.0, 5 / 12.0, 0, 7},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.from << ".." << r.to << " CH" << r.ch + 1);
        const Measurements m = MeasureChannels(capture, r.from, r.to);
        const ChannelMeasurement &c = m.channels[size_t(r.ch)];
        EXPECT_EQ(c.risingEdges, r.rising);
        EXPECT_EQ(c.fallingEdges, r.falling);
        EXPECT_NEAR(c.frequencyHz, r.hz, 1e-6 * r.hz);
        EXPECT_NEAR(c.periodSeconds, r.hz ? 1 / r.hz : 0, 1e-12);
        EXPECT_NEAR(c.dutyCycle, r.duty, 1e-9);
        EXPECT_NEAR(c.highFraction, r.highFraction, 1e-9);
        EXPECT_NEAR(c.shortestHighSeconds, r.high * 1e-6, 1e-12);
        EXPECT_NEAR(c.longestHighSeconds, r.high * 1e-6, 1e-12);
        EXPECT_NEAR(c.shortestLowSeconds, r.low * 1e-6, 1e-12);
        EXPECT_NEAR(c.longestLowSeconds, r.low * 1e-6, 1e-12);
    }
    EXPECT_EQ(MeasureChannels(capture, 41, 200).toSample, 100);
    EXPECT_FALSE(MeasureChannels(capture, 0, 100).analog.present);
}

TEST(SignalAnalysis, MeasuresTheAnalogChannel)
{
    // 20 kHz (50 us periods): counts 100 and 200 in turns of 10 samples; one
    // count is 5 V / 255 in range 1.
    std::vector<CaptureRecord> rec;
    for (int32_t i = 0; i < 100; ++i)
        rec.push_back({i, 0, uint8_t((i / 10) % 2 ? 200 : 100)});
    const Capture capture(Capture::Mode::Analog, 0, 100, rec, {}, 1);
    const double v = 5.0 / 255;
    const AnalogMeasurement a = MeasureChannels(capture, 0, 100).analog;
    ASSERT_TRUE(a.present);
    EXPECT_NEAR(a.minVolts, 100 * v, 1e-9);
    EXPECT_NEAR(a.maxVolts, 200 * v, 1e-9);
    EXPECT_NEAR(a.peakToPeakVolts, 100 * v, 1e-9);
    EXPECT_NEAR(a.meanVolts, 150 * v, 1e-9);
    EXPECT_NEAR(a.rmsVolts, std::sqrt(25000.0) * v, 1e-9);
    EXPECT_EQ(a.crossings, 5); // at 10, 30, 50, 70, 90
    EXPECT_NEAR(a.frequencyHz, 1000, 1e-6);
    const AnalogMeasurement part = MeasureChannels(capture, 5, 15).analog; // 5 x 100, 5 x 200
    EXPECT_NEAR(part.meanVolts, 150 * v, 1e-9);
    EXPECT_EQ(part.crossings, 1);
    EXPECT_EQ(part.frequencyHz, 0);
}

TEST(SignalAnalysis, WhatTheDataCannotShowIsSaidToBeAssumed)
{
    // SPI mode 0, chip select on CH5, one data line (CH3). Binary data whose
    // bit-mirror images are printable (0x12 is 'H' read backwards) shows no
    // bit order; text does, either way round.
    const std::vector<int> binary{0x12, 0x02, 0x22, 0x0A, 0x32, 0x1A, 0x2A, 0x3A};
    const std::vector<int> text = Text("Hello, world!");
    const struct {
        const char *name;
        std::vector<int> data;
        bool msb;
        const char *order; // as the finding words it
    } buses[] = {{"binary MSB first", binary, true, "MSB first (assumed)"},
                 {"text LSB first", text, false, "LSB first,"},
                 {"text MSB first", text, true, "MSB first,"}};
    for (const auto &b : buses) {
        SCOPED_TRACE(b.name);
        Waves w;
        w[4] = Wave(1);
        const double h = Rate(1) / 250e3 / 2;
        for (double t = 50; t < 30000 - 200 * h;)
            t = Spi(w, t, h, 0, b.msb, b.data, std::vector<int>(b.data.size(), 0), 4) + 20 * h;
        const Capture capture = Build(w, 1);
        const DetectionReport r = DetectProtocols(capture);
        ASSERT_EQ(r.spi.size(), 1u);
        EXPECT_EQ(r.spi[0].msbFirst, b.msb);
        const QString decoder = DecoderOf(r, 1);
        EXPECT_EQ(decoder, QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH5:cpol=0:cpha=0:bitorder=%1:cs_polarity=active-low")
                               .arg(b.msb ? "msb-first" : "lsb-first"));
        const auto spi = std::find_if(r.findings.begin(), r.findings.end(),
                                      [](const Finding &f) { return f.kind == SignalKind::Spi; });
        ASSERT_NE(spi, r.findings.end());
        const QString finding = spi->text;
        EXPECT_TRUE(finding.contains(QLatin1String(b.order))) << qPrintable(finding);
        EXPECT_TRUE(finding.contains(QStringLiteral("data CH3 taken as mosi"))) << qPrintable(finding);
        if (HaveSigrok()) {
            QString error;
            const std::vector<int> got = SigrokDecode(capture, decoder, QStringLiteral("spi=mosi-data"), &error);
            ASSERT_GE(got.size(), b.data.size()) << qPrintable(error);
            EXPECT_EQ(std::vector<int>(got.begin(), got.begin() + long(b.data.size())), b.data);
        }
    }

    // A few UART frames with gaps between them: no parity and one stop bit
    // are what the line does not show.
    Waves w;
    w[0] = Wave(1);
    const double bit = Rate(4) / 115200;
    double t = 40;
    for (int c : Text("Hi!\r\n"))
        t = Uart(w[0], t, bit, {c}, {}, true) + 4 * bit;
    const DetectionReport r = DetectProtocols(Build(w, 4));
    ASSERT_EQ(r.channels[0].kind, SignalKind::Uart);
    EXPECT_TRUE(r.findings.front().text.startsWith(
        QStringLiteral("CH1: UART 115200 8N1 (idle high; no parity and 1 stop bit assumed), 100% of 5 frames check")))
        << qPrintable(r.findings.front().text);
}
