// The simulated instrument: protocol engine, signals, triggers and the
// pseudo-terminal transport.
#include "sim/instrument.h"
#include "sim/pty_transport.h"
#include "sim/signals.h"
#include "sim/sim_protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <vector>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace sim;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(uint8_t(v)));
    return b;
}

struct Record {
    int time;
    uint8_t levels;
    int sample; // -1 in Logic mode
};

// Checks the framing of a sample stream and returns its records.
std::vector<Record> parseStream(const QByteArray &stream, bool analog)
{
    std::vector<Record> records;
    const int r = analog ? 4 : 3;
    if (stream.isEmpty() || uint8_t(stream[0]) != STX) {
        ADD_FAILURE() << "stream does not start with STX";
        return records;
    }
    qsizetype pos = 1;
    while (true) {
        if (pos >= stream.size()) {
            ADD_FAILURE() << "stream has no end-of-data byte";
            return records;
        }
        if (uint8_t(stream[pos]) == END_OF_DATA) {
            EXPECT_EQ(pos + 1, stream.size()) << "bytes after the end-of-data byte";
            return records;
        }
        if (pos + r > stream.size()) {
            ADD_FAILURE() << "stream ends inside a record";
            return records;
        }
        const uint8_t high = uint8_t(stream[pos]);
        EXPECT_LT(high, 0x80);
        records.push_back({high * 256 + uint8_t(stream[pos + 1]), uint8_t(stream[pos + 2]),
                           analog ? int(uint8_t(stream[pos + 3])) : -1});
        pos += r;
    }
}

SimSettings logicSettings(int rate, int code, int channel, bool pattern = false, int mask = 0)
{
    SimSettings s;
    s.rateKind = uint8_t(0x01 + 16 * rate + (pattern ? 128 : 0));
    s.conditionChannel = uint8_t(0x02 + 16 * code + 64 * channel);
    s.pattern = uint8_t(0x03 + 16 * mask);
    s.mode = 0x09;
    return s;
}

SimSettings analogSettings(int rate, int code, bool freeRun, uint8_t level)
{
    SimSettings s;
    s.rateKind = uint8_t(0x01 + 16 * rate + (freeRun ? 128 : 0));
    s.conditionChannel = uint8_t(0x02 + 16 * code);
    s.mode = 0x19;
    s.level = level;
    return s;
}

} // namespace

// ---- Setting steps and settings read-back -----------------------------------

TEST(SimInstrument, AnswersEachSettingStepWithAckAndReportsTheSettingsBack)
{
    SimInstrument sim(0.0);
    const QByteArray steps[] = {bytes({0xB0}), bytes({0x21}), bytes({0x32}),
                                bytes({0x53}), bytes({0x09}), bytes({0x0A, 0x80})};
    for (const QByteArray &step : steps) {
        sim.hostBytes(step, 0.0);
        EXPECT_EQ(sim.takeOutput(), bytes({ACK})) << step.toHex().constData();
    }
    EXPECT_EQ(sim.settings().rateIndex(), 2);
    EXPECT_FALSE(sim.settings().secondKind());
    EXPECT_EQ(sim.settings().conditionCode(), 3);
    EXPECT_EQ(sim.settings().triggerChannel(), 0);
    EXPECT_EQ(sim.settings().patternMask(), 5);
    EXPECT_FALSE(sim.settings().analog());
    EXPECT_EQ(sim.settings().level, 0x80);

    sim.hostBytes(bytes({0x08}), 0.0);
    EXPECT_EQ(sim.takeOutput(), bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03}));
}

TEST(SimInstrument, SettingStepsInOneChunkGetSixAcks)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0xB0, 0x21, 0x32, 0x53, 0x09, 0x0A, 0x80}), 0.0);
    EXPECT_EQ(sim.takeOutput(), QByteArray(6, char(ACK)));
}

TEST(SimInstrument, TriggerLevelIsAnsweredOnlyAfterItsValueByte)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x0A}), 0.0);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    EXPECT_FALSE(sim.idle());
    sim.hostBytes(bytes({0x08}), 0.0); // the value, not a command
    EXPECT_EQ(sim.takeOutput(), bytes({ACK}));
    EXPECT_EQ(sim.settings().level, 0x08);
    EXPECT_TRUE(sim.idle());
}

TEST(SimInstrument, SettingsReplyCarriesKindAnalogModeAndAllFields)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0xF1, 0xD2, 0xF3, 0x19, 0x0A, 0x00, 0x08}), 0.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, ACK, ACK, ACK, ACK, 0x02, 0xF1, 0xD2, 0xF3, 0x19, 0x00, 0x03}));
    EXPECT_EQ(sim.settings().rateIndex(), 7);
    EXPECT_TRUE(sim.settings().secondKind());
    EXPECT_EQ(sim.settings().conditionCode(), 1);
    EXPECT_EQ(sim.settings().triggerChannel(), 3);
    EXPECT_EQ(sim.settings().patternMask(), 15);
    EXPECT_TRUE(sim.settings().analog());
}

TEST(SimInstrument, UnknownCommandCodesGetNoAnswer)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x0B, 0x0C, 0x0D, 0x0F}), 0.0);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    EXPECT_TRUE(sim.idle());
}

// ---- Run and Stop ------------------------------------------------------------

TEST(SimInstrument, LogicRunEndsWithAckAfterFullLengthTimesPeriod)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x01}), 100.0); // 20 MHz
    sim.takeOutput();
    sim.hostBytes(bytes({0x04}), 100.0);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    EXPECT_TRUE(sim.captureRunning());
    EXPECT_EQ(sim.captureLength(), 32767);
    const double end = 100.0 + 32767 * 50e-9;
    EXPECT_NEAR(sim.nextEventTime(), end, 1e-9);
    sim.advance(end - 1e-5);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    sim.advance(end + 1e-5);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK}));
    EXPECT_FALSE(sim.captureRunning());
}

TEST(SimInstrument, AnalogRunWithLengthUsesAnalogPeriodAndTimeScale)
{
    SimInstrument sim(2.0);
    sim.hostBytes(bytes({0x11, 0x19}), 5.0); // 10 kHz: 100 us per sample
    sim.takeOutput();
    sim.hostBytes(bytes({0x05, 0x03, 0xE8}), 5.0); // 1000 samples -> 0.1 s, doubled
    EXPECT_EQ(sim.captureLength(), 1000);
    sim.advance(5.19);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    sim.advance(5.21);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK}));
}

TEST(SimInstrument, InstantCaptureAnswersBeforeTheNextByteIsHandled)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x04}), 0.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK}));

    sim.hostBytes(bytes({0x04, 0x07, 0x00, 0x00}), 0.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, STX, END_OF_DATA}));
}

TEST(SimInstrument, StopDuringCaptureReportsRecordedLengthAndEndsTheCapture)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x01, 0x19}), 10.0); // Analog 20 kHz: 50 us per sample
    sim.takeOutput();
    sim.hostBytes(bytes({0x05, 0x03, 0xE8}), 10.0);
    sim.hostBytes(bytes({0x0E}), 10.0125); // 250 samples recorded
    EXPECT_EQ(sim.takeOutput(), bytes({STX, 0x00, 0xFA, ETX}));
    EXPECT_FALSE(sim.captureRunning());
    sim.advance(100.0);
    EXPECT_TRUE(sim.takeOutput().isEmpty()) << "no ACK after a stopped capture";

    sim.hostBytes(bytes({0x07, 0x00, 0xFA}), 100.0);
    const QByteArray stream = sim.takeOutput();
    EXPECT_EQ(stream.size(), 1 + 250 * 4 + 1);
    const std::vector<Record> records = parseStream(stream, true);
    ASSERT_EQ(records.size(), 250u);
    EXPECT_EQ(records.back().time, 249);
}

TEST(SimInstrument, StopRightAtTheStartReportsZero)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x04}), 3.0);
    sim.hostBytes(bytes({0x0E}), 3.0);
    EXPECT_EQ(sim.takeOutput(), bytes({STX, 0x00, 0x00, ETX}));
}

TEST(SimInstrument, StopWhileIdleIsRefused)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x0E}), 0.0);
    EXPECT_EQ(sim.takeOutput(), bytes({NAK}));
}

TEST(SimInstrument, StopArrivingAfterTheCaptureEndedGetsAckThenNak)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x04}), 0.0); // 1.6 ms at 20 MHz
    sim.hostBytes(bytes({0x0E}), 1.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, NAK}));
}

TEST(SimInstrument, CommandsOtherThanStopAreIgnoredDuringCapture)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x04}), 0.0);
    sim.hostBytes(bytes({0x08, 0x71, 0x06, 0xB0}), 0.0001);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    EXPECT_EQ(sim.settings().rateIndex(), 0);
    sim.advance(1.0);
    sim.hostBytes(bytes({0x08}), 1.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, 0x02, 0x01, 0x22, 0x03, 0x09, 0x80, 0x03}));
}

// ---- Sample stream -------------------------------------------------------------

TEST(SimInstrument, LogicFullReadStreamsOnlyChangesAndReproducesTheScene)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x01, 0x09, 0x06}), 0.0);
    QByteArray out = sim.takeOutput();
    ASSERT_EQ(out.left(2), bytes({ACK, ACK}));
    const std::vector<Record> records = parseStream(out.mid(2), false);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().time, 0);
    EXPECT_GT(records.size(), 100u);
    EXPECT_LT(records.size(), 32767u / 8) << "far fewer records than sample periods";
    for (size_t i = 1; i < records.size(); ++i) {
        EXPECT_LT(records[i - 1].time, records[i].time);
        EXPECT_NE(records[i - 1].levels, records[i].levels);
    }
    EXPECT_LT(records.back().time, 32767);

    // Holding each record's levels until the next record gives the scene.
    const int64_t start = triggerStart(sim.settings());
    size_t r = 0;
    for (int t = 0; t < 32767; ++t) {
        while (r + 1 < records.size() && records[r + 1].time <= t)
            ++r;
        ASSERT_EQ(records[r].levels, logicLevelsAt(start + t, 0)) << "at " << t;
    }
}

TEST(SimInstrument, AnalogStreamHasOneRecordPerPeriodWithSceneValues)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x21, 0x19, 0x07, 0x03, 0xE8}), 0.0);
    const QByteArray out = sim.takeOutput();
    ASSERT_EQ(out.left(2), bytes({ACK, ACK}));
    const QByteArray stream = out.mid(2);
    EXPECT_EQ(stream.size(), 1 + 1000 * 4 + 1);
    const std::vector<Record> records = parseStream(stream, true);
    ASSERT_EQ(records.size(), 1000u);
    const int64_t start = triggerStart(sim.settings());
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(records[i].time, i);
        ASSERT_EQ(records[i].levels, logicLevelsAt(start + i, 2));
        ASSERT_EQ(records[i].sample, analogAt(start + i, 2));
    }
    // Time 128 has the low byte 0x80 inside a record; the stream went on.
    EXPECT_EQ(uint8_t(stream[1 + 128 * 4 + 1]), 0x80);
}

TEST(SimInstrument, ZeroLengthReadIsStxAndEndOfData)
{
    for (int mode : {0x09, 0x19}) {
        SimInstrument sim(0.0);
        sim.hostBytes(bytes({mode, 0x07, 0x00, 0x00}), 0.0);
        EXPECT_EQ(sim.takeOutput(), bytes({ACK, STX, END_OF_DATA}));
    }
}

TEST(SimInstrument, ReadLengthAboveFullLengthIsLimited)
{
    SimSettings s = logicSettings(0, 2, 0);
    s.mode = 0x19;
    const QByteArray stream = sampleStream(s, 40000);
    EXPECT_EQ(stream.size(), 1 + 32767 * 4 + 1);
}

TEST(SimInstrument, ReadUsesTheSettingsOfTheLastCapture)
{
    SimInstrument sim(0.0);
    sim.hostBytes(bytes({0x19, 0x04}), 0.0); // Analog capture
    sim.hostBytes(bytes({0x09}), 0.0);       // back to Logic afterwards
    sim.takeOutput();
    sim.hostBytes(bytes({0x07, 0x00, 0x0A}), 0.0);
    EXPECT_EQ(sim.takeOutput().size(), 1 + 10 * 4 + 1);
}

TEST(SimInstrument, SameInputGivesSameBytes)
{
    const QByteArray input = bytes({0xB0, 0x31, 0xB2, 0x53, 0x09, 0x0A, 0x40, 0x04, 0x06});
    SimInstrument a(0.0), b(0.0);
    a.hostBytes(input, 0.0);
    b.hostBytes(input, 7.0);
    const QByteArray out = a.takeOutput();
    EXPECT_GT(out.size(), 100);
    EXPECT_EQ(out, b.takeOutput());

    const SimSettings analog = analogSettings(4, 3, false, 0x90);
    EXPECT_EQ(sampleStream(analog, 3000), sampleStream(analog, 3000));
    EXPECT_NE(sampleStream(logicSettings(0, 2, 0), 3000), sampleStream(logicSettings(1, 2, 0), 3000));
}

// ---- Signals and triggers ------------------------------------------------------

TEST(SimSignals, EveryChannelMovesDuringAFullCaptureAt20MHz)
{
    uint8_t seenHigh = 0, seenLow = 0;
    for (int64_t i = 0; i < 32767; ++i) {
        const uint8_t l = logicLevelsAt(i, 0);
        seenHigh |= l;
        seenLow |= uint8_t(~l);
    }
    EXPECT_EQ(seenHigh, 0xFF);
    EXPECT_EQ(seenLow, 0xFF);
}

TEST(SimSignals, AnalogSignalUsesMuchOfTheRangeAndVaries)
{
    int lo = 255, hi = 0;
    for (int64_t i = 0; i < 16383; ++i) {
        lo = std::min<int>(lo, analogAt(i, 0));
        hi = std::max<int>(hi, analogAt(i, 0));
    }
    EXPECT_LT(lo, 60);
    EXPECT_GT(hi, 200);
}

TEST(SimTrigger, LevelAndEdgeTriggersStartAtTheFirstMatchingPosition)
{
    for (int rate : {0, 3, 7}) {
        for (int channel = 0; channel < 4; ++channel) {
            for (int code = 0; code < 4; ++code) {
                SCOPED_TRACE(testing::Message() << "rate " << rate << " channel " << channel << " code " << code);
                const SimSettings s = logicSettings(rate, code, channel);
                const int64_t start = triggerStart(s);
                auto level = [&](int64_t p) { return (logicLevelsAt(p, rate) >> channel) & 1; };
                const int wanted = (code == 2 || code == 3) ? 1 : 0;
                ASSERT_EQ(level(start), wanted);
                if (code == 3 || code == 1) { // edge
                    ASSERT_GT(start, 0);
                    EXPECT_EQ(level(start - 1), 1 - wanted);
                    for (int64_t p = 1; p < start; ++p)
                        ASSERT_FALSE(level(p) == wanted && level(p - 1) != wanted) << "earlier edge at " << p;
                } else {
                    for (int64_t p = 0; p < start; ++p)
                        ASSERT_NE(level(p), wanted) << "earlier match at " << p;
                }
                const std::vector<Record> records = parseStream(sampleStream(s, 50), false);
                ASSERT_FALSE(records.empty());
                EXPECT_EQ(records[0].levels, logicLevelsAt(start, rate));
            }
        }
    }
}

TEST(SimTrigger, PatternTriggerMatchesOrDiffersFromTheMask)
{
    int found = 0;
    for (int mask = 0; mask < 16; ++mask) {
        for (int code : {2, 3, 0, 1}) {
            SCOPED_TRACE(testing::Message() << "mask " << mask << " code " << code);
            const bool equal = code >= 2;
            const int64_t start = triggerStart(logicSettings(0, code, 0, true, mask));
            auto holds = [&](int64_t p) { return ((logicLevelsAt(p, 0) & 0xF) == mask) == equal; };
            if (holds(start)) {
                ++found;
                for (int64_t p = 0; p < start; ++p)
                    ASSERT_FALSE(holds(p)) << "earlier match at " << p;
            } else {
                EXPECT_EQ(start, 0) << "no match: the capture starts at once";
            }
        }
    }
    EXPECT_GT(found, 40);
    // The clock is never high while the chip is deselected: this pattern never
    // occurs and the capture starts at position 0.
    EXPECT_EQ(triggerStart(logicSettings(0, 2, 0, true, 0xF)), 0);
}

TEST(SimTrigger, AnalogTriggerStartsAtTheCrossingOfTheLevel)
{
    for (int rate : {0, 4}) {
        for (int level : {0x40, 0x80, 0xC0}) {
            SCOPED_TRACE(testing::Message() << "rate " << rate << " level " << level);
            const int64_t rising = triggerStart(analogSettings(rate, 2, false, uint8_t(level)));
            ASSERT_GT(rising, 0);
            EXPECT_LT(analogAt(rising - 1, rate), level);
            EXPECT_GE(analogAt(rising, rate), level);
            EXPECT_EQ(triggerStart(analogSettings(rate, 3, false, uint8_t(level))), rising);

            const int64_t falling = triggerStart(analogSettings(rate, 0, false, uint8_t(level)));
            ASSERT_GT(falling, 0);
            EXPECT_GT(analogAt(falling - 1, rate), level);
            EXPECT_LE(analogAt(falling, rate), level);

            const std::vector<Record> records = parseStream(sampleStream(analogSettings(rate, 2, false, uint8_t(level)), 5), true);
            ASSERT_EQ(records.size(), 5u);
            EXPECT_GE(records[0].sample, level);
        }
    }
    EXPECT_EQ(triggerStart(analogSettings(0, 2, true, 0x80)), 0) << "FreeRun";
    EXPECT_EQ(triggerStart(analogSettings(0, 2, false, 0xFF)), 0) << "level never reached";
}

// ---- Range reports -------------------------------------------------------------

TEST(SimInstrument, RangeReportsAreSentWhileIdle)
{
    SimInstrument sim(1.0);
    for (int position = 0; position < 5; ++position)
        EXPECT_TRUE(sim.reportRangeSwitch(position));
    EXPECT_FALSE(sim.reportRangeSwitch(5));
    EXPECT_FALSE(sim.reportRangeSwitch(-1));
    EXPECT_EQ(sim.takeOutput(), bytes({0xEF, 0xDF, 0xBF, 0x7F, 0xFF}));
}

TEST(SimInstrument, RangeReportWaitsUntilTheCommandInProgressIsAnswered)
{
    SimInstrument sim(1.0);
    sim.hostBytes(bytes({0x04}), 0.0);
    sim.reportRangeSwitch(2);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    sim.advance(1.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, 0xBF}));

    sim.hostBytes(bytes({0x0A}), 1.0);
    sim.reportRangeSwitch(0);
    EXPECT_TRUE(sim.takeOutput().isEmpty());
    sim.hostBytes(bytes({0x80}), 1.0);
    EXPECT_EQ(sim.takeOutput(), bytes({ACK, 0xEF}));

    sim.hostBytes(bytes({0x04}), 2.0);
    sim.reportRangeSwitch(4);
    sim.hostBytes(bytes({0x0E}), 2.0);
    EXPECT_EQ(sim.takeOutput(), bytes({STX, 0x00, 0x00, ETX, 0xFF}));
}

// ---- Pseudo-terminal transport ---------------------------------------------------

#if defined(Q_OS_UNIX)
namespace {

class PtyClient {
public:
    explicit PtyClient(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios t{};
            tcgetattr(m_fd, &t);
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~PtyClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray &b) { return ::write(m_fd, b.constData(), size_t(b.size())) == b.size(); }
    // Reads until n bytes have arrived or the time-out passes.
    QByteArray receive(qsizetype n, int timeoutMs = 3000)
    {
        QByteArray got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(left)) <= 0)
                continue;
            char buf[4096];
            const ssize_t r = ::read(m_fd, buf, size_t(std::min<qsizetype>(sizeof buf, n - got.size())));
            if (r > 0)
                got.append(buf, int(r));
        }
        return got;
    }

private:
    int m_fd = -1;
};

} // namespace

TEST(SimulatorPty, AnswersThroughTheSlaveSideAndSendsRangeReports)
{
    SimulatorPty pty;
    pty.setPacing(false);
    pty.setTimeScale(0.0);
    QString error;
    ASSERT_TRUE(pty.start(&error)) << error.toStdString();
    ASSERT_FALSE(pty.slavePath().isEmpty());
    {
        PtyClient client(pty.slavePath());
        ASSERT_TRUE(client.isOpen());
        ASSERT_TRUE(client.send(bytes({0xB0})));
        EXPECT_EQ(client.receive(1), bytes({ACK}));
        ASSERT_TRUE(client.send(bytes({0x08})));
        EXPECT_EQ(client.receive(7), bytes({0x02, 0x01, 0x22, 0x03, 0x09, 0x80, 0x03}));
        ASSERT_TRUE(pty.reportRangeSwitch(3));
        EXPECT_EQ(client.receive(1), bytes({0x7F}));
    }
    // A client closing the slave does not end the service.
    PtyClient again(pty.slavePath());
    ASSERT_TRUE(again.isOpen());
    ASSERT_TRUE(again.send(bytes({0x0E})));
    EXPECT_EQ(again.receive(1), bytes({NAK}));
    pty.stop();
    EXPECT_FALSE(pty.isRunning());
}

TEST(SimulatorPty, PacingHoldsBytesToTheLineSpeed)
{
    SimulatorPty pty; // pacing is on by default
    ASSERT_TRUE(pty.start());
    PtyClient client(pty.slavePath());
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(client.send(bytes({0x19})));
    ASSERT_EQ(client.receive(1), bytes({ACK}));

    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.send(bytes({0x07, 0x00, 0xFA}))); // 250 analog records: 1002 bytes
    const QByteArray stream = client.receive(1002, 5000);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_EQ(stream.size(), 1002);
    EXPECT_EQ(uint8_t(stream.back()), END_OF_DATA);
    EXPECT_GE(ms, 80.0); // 1002 bytes at 86.8 us each
    EXPECT_LT(ms, 1000.0);
}
#endif
