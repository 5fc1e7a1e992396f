// Property tests of the receive handler: seeded random byte streams, cut into
// random chunks and fed in every transaction state, mixed with the user
// actions that change what the handler sees between two chunks (a mode
// switch, a second device press, a Load, scrolling). After every chunk the
// shared state must stay consistent (hostile::ReceiveInvariantViolation).
//
// The seed is printed at the start and with every failure; set
// LA_PROPERTY_SEED=<seed> to replay a run, LA_PROPERTY_BYTES=<n> to feed more
// (or fewer) bytes than the default 1,200,000.
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "app/error_report.h"
#include "device/wire_protocol.h"
#include "files/capture_file.h"
#include "support/form_fixture.h"
#include "support/hostile_input.h"

namespace {

int64_t PropertyBytes()
{
    const QByteArray env = qgetenv("LA_PROPERTY_BYTES");
    return env.isEmpty() ? 1'200'000 : env.toLongLong();
}

QString Hex(const QByteArray &b, int max = 48)
{
    QString s = QString::fromLatin1(b.left(max).toHex(' '));
    if (b.size() > max)
        s += QStringLiteral(" ... (%1 bytes)").arg(b.size());
    return s;
}

class Gen {
public:
    explicit Gen(uint64_t seed) : rng_(seed) {}

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    uint8_t byte() { return uint8_t(uniform(0, 255)); }

    // A piece of what an instrument, a broken one or line noise may send.
    QByteArray fragment(bool analog)
    {
        QByteArray b;
        const int kind = uniform(0, 99);
        if (kind < 30) { // line noise
            const int n = uniform(1, 48);
            for (int i = 0; i < n; ++i)
                b.append(char(byte()));
        } else if (kind < 40) { // a control byte on its own
            static const uint8_t special[] = {wire::STX, wire::ETX, wire::ACK, wire::NAK, wire::END_OF_DATA,
                                              0xEF,      0xDF,      0xBF,      0x7F,      0xFF};
            b.append(char(special[uniform(0, int(sizeof special) - 1)]));
        } else if (kind < 65) { // a sample stream, of either record length
            if (chance(0.9))
                b.append(char(wire::STX));
            const int length = chance(0.85) ? wire::recordLength(analog) : wire::recordLength(!analog);
            const int records = chance(0.8) ? uniform(0, 40) : uniform(0, 3000);
            int time = 0;
            for (int r = 0; r < records; ++r) {
                time = std::min(0x7FFF, time + uniform(0, 300));
                const int t = chance(0.97) ? time : uniform(0, 0xFFFF);
                b.append(char(uint8_t(t >> 8)));
                b.append(char(uint8_t(t)));
                for (int k = 2; k < length; ++k)
                    b.append(char(byte()));
            }
            if (chance(0.7))
                b.append(char(wire::END_OF_DATA));
        } else if (kind < 75) { // a settings reply
            b.append(char(wire::STX));
            for (int i = 0; i < 5; ++i)
                b.append(char(byte()));
            if (chance(0.9))
                b.append(char(wire::ETX));
        } else if (kind < 85) { // a stop reply or a refusal
            if (chance(0.3)) {
                b.append(char(wire::NAK));
            } else {
                b.append(char(wire::STX));
                b.append(char(byte()));
                b.append(char(byte()));
                b.append(char(wire::ETX));
            }
        } else if (kind < 92) {
            b.append(char(wire::ACK));
        } else { // range reports
            const int n = uniform(1, 6);
            for (int i = 0; i < n; ++i)
                b.append(char(wire::rangeReportByte(uniform(0, 5))));
        }
        return b;
    }

    int chunkSize()
    {
        const int k = uniform(0, 99);
        if (k < 20)
            return 1;
        if (k < 60)
            return uniform(2, 16);
        if (k < 90)
            return uniform(17, 512);
        return uniform(513, 8192);
    }

    int32_t replyPos()
    {
        switch (uniform(0, 3)) {
        case 0: return uniform(0, 8);
        case 1: return uniform(0, 100000);
        case 2: return uniform(3 * Form1::kMaxStreamRecords - 8, 3 * Form1::kMaxStreamRecords + 8);
        default: return uniform(0, INT32_MAX);
        }
    }

    // A capture file of the kind Save writes, sometimes damaged.
    QByteArray captureFile()
    {
        CaptureSettings s;
        s.rateAndTriggerKind = uniform(0, 15);
        s.channelAndCondition = uniform(0, 15);
        s.patternBits = uniform(0, 15);
        s.analogFlag = uniform(0, 1);
        s.scaleIndex = uniform(0, 4);
        s.triggerLevel = uniform(0, 255);
        const int32_t last = uniform(-1, 400);
        SampleStore store;
        store.create(3, last);
        for (int32_t n = 0; n <= last; ++n)
            for (int f = 0; f < 3; ++f)
                store.set(f, n, uniform(0, f == 0 ? 32767 : 255));
        QByteArray text = CaptureFileText(s, last, store, chance(0.8) ? s.analogFlag == 1 : s.analogFlag != 1);
        if (chance(0.3))
            text.truncate(uniform(0, int(text.size())));
        if (chance(0.2) && !text.isEmpty())
            text[uniform(0, int(text.size()) - 1)] = char(byte());
        return text;
    }

    std::mt19937_64 &rng() { return rng_; }

private:
    std::mt19937_64 rng_;
};

} // namespace

TEST(ReceiveProperty, RandomStreamsInEveryStateKeepTheSharedStateConsistent)
{
    const uint64_t seed = hostile::PropertySeed();
    const int64_t totalBytes = PropertyBytes();
    std::fprintf(stderr, "[ property ] receive handler: seed %llu, %lld bytes (replay: LA_PROPERTY_SEED=%llu)\n",
                 static_cast<unsigned long long>(seed), static_cast<long long>(totalBytes),
                 static_cast<unsigned long long>(seed));
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with LA_PROPERTY_SEED=" + std::to_string(seed) + ")");
    ::testing::Test::RecordProperty("seed", std::to_string(seed));

    Gen g(seed);
    auto form = MakeDetachedForm(false);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("capture.log"));
    form->showFileDialog = [&](CommonDialog &d, bool) {
        d.FileName = path;
        return DialogResult::Confirmed;
    };
    int messages = 0;
    SetMessageSink([&](const QString &, const QString &, bool) { ++messages; });

    const int rounds = 2 * hostile::kStateCount;
    int64_t fed = 0, chunks = 0, actions = 0, loads = 0;
    std::string why;
    for (int round = 0; round < rounds && why.empty(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Every literal state starts two rounds: once with ReplyPos 0, once
        // somewhere inside a reply or stream.
        hostile::ResetForm(*form);
        form->selectOption(form->Option4[g.uniform(0, 1)]);
        if (g.chance(0.5))
            hostile::SimulateLoad(*form, g.uniform(-1, 200));
        form->state.PendingCommand = hostile::TransactionState(round % hostile::kStateCount);
        form->state.ReplyPos = round < hostile::kStateCount ? 0 : g.replyPos();

        QByteArray pending;
        const int64_t budget = totalBytes / rounds;
        int64_t roundBytes = 0;
        while (why.empty() && roundBytes < budget) {
            if (pending.isEmpty())
                pending = g.fragment(form->isAnalogMode());
            // Between chunks, sometimes, the user acts.
            if (g.chance(0.06)) {
                ++actions;
                std::string action;
                switch (g.uniform(0, 6)) {
                case 0:
                    form->selectOption(form->Option4[g.uniform(0, 1)]);
                    action = "mode switch";
                    break;
                case 1: // a second press of a device button: the sequencer's states
                    hostile::SimulatePress(*form, g.uniform(1, 10));
                    action = "device press";
                    break;
                case 2:
                    hostile::SimulateLoad(*form, g.uniform(-1, 3000));
                    action = "load of a store";
                    break;
                case 3:
                    if (g.chance(0.15)) {
                        QFile file(path);
                        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                            file.write(g.captureFile());
                        file.close();
                        form->Command2_Click(0);
                        ++loads;
                        action = "Load of a file";
                    }
                    break;
                case 4:
                    form->HScroll1->setValue(g.uniform(0, form->HScroll1->maximum()));
                    action = "scroll";
                    break;
                case 5:
                    form->state.PendingCommand = hostile::TransactionState(g.uniform(0, hostile::kStateCount - 1));
                    form->state.ReplyPos = g.chance(0.5) ? 0 : g.replyPos();
                    action = "state change";
                    break;
                default:
                    form->setListIndex(form->Combo1, g.uniform(0, 7));
                    action = "rate change";
                    break;
                }
                why = hostile::ReceiveInvariantViolation(*form);
                if (!why.empty())
                    why += " after a " + action;
                continue;
            }
            const int n = std::min<int>(g.chunkSize(), int(pending.size()));
            const QByteArray chunk = pending.left(n);
            pending.remove(0, n);
            const QString before = form->state.PendingCommand;
            if (g.chance(0.5))
                form->ReceiveChunkForTest(chunk);
            else
                Receive(*form, chunk); // through the port's event, as a real chunk arrives
            fed += n;
            roundBytes += n;
            ++chunks;
            why = hostile::ReceiveInvariantViolation(*form);
            if (!why.empty())
                why += " after chunk " + std::to_string(chunks) + " [" + Hex(chunk).toStdString() + "] in state \""
                    + before.toStdString() + "\", " + (form->isAnalogMode() ? "Analog" : "Logic") + " mode";
        }
    }
    SetMessageSink(nullptr);
    EXPECT_EQ(why, "");
    EXPECT_GE(fed, totalBytes - rounds);
    std::fprintf(stderr, "[ property ] %lld bytes in %lld chunks, %lld user actions, %lld file loads, %d messages\n",
                 static_cast<long long>(fed), static_cast<long long>(chunks), static_cast<long long>(actions),
                 static_cast<long long>(loads), messages);
}

// The worst orders of mode switches, Loads and presses inside a stream, each
// followed by the bytes that would write past what the store holds.
TEST(ReceiveProperty, StreamThatOutlivesItsStoreStaysInside)
{
    auto f = MakeDetachedForm(false);
    for (int analogAtStart = 0; analogAtStart < 2; ++analogAtStart) {
        for (int event = 0; event < 4; ++event) {
            for (int cut = 0; cut < 4; ++cut) {
                SCOPED_TRACE("analog at start " + std::to_string(analogAtStart) + ", event " + std::to_string(event)
                             + ", cut " + std::to_string(cut));
                hostile::ResetForm(*f);
                f->selectOption(f->Option4[analogAtStart]);
                hostile::SimulatePress(*f, 9); // dataread
                QByteArray stream = Bytes({wire::STX});
                for (int r = 0; r < 200; ++r)
                    stream += Bytes({0x00, r & 0xFF, 0x55, 0x66});
                f->ReceiveChunkForTest(stream);
                ASSERT_EQ(hostile::ReceiveInvariantViolation(*f), "");
                switch (event) {
                case 0: f->selectOption(f->Option4[1 - analogAtStart]); break;
                case 1: hostile::SimulateLoad(*f, -1); break;
                case 2: hostile::SimulateLoad(*f, 3); break;
                default:
                    f->selectOption(f->Option4[1 - analogAtStart]);
                    hostile::SimulateLoad(*f, 0);
                    break;
                }
                // The rest of the stream, cut after each byte position of a
                // record in turn.
                for (int k = 0; k < cut; ++k) {
                    f->ReceiveChunkForTest(Bytes({0x01}));
                    EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "") << "after " << k + 1 << " bytes";
                }
                f->ReceiveChunkForTest(Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));
                EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
                f->HScroll1_Change();
            }
        }
    }
}

// A Load that runs inside the read's wait before the stream's STX leaves
// LastSampleIndex pointing into the loaded capture; the new store that the
// STX creates must still hold that record.
TEST(ReceiveProperty, StreamStartAfterALoadInsideTheWaitKeepsTheIndexInside)
{
    auto f = MakeDetachedForm(false);
    for (int analog = 0; analog < 2; ++analog) {
        SCOPED_TRACE(analog ? "Analog" : "Logic");
        hostile::ResetForm(*f);
        f->selectOption(f->Option4[analog]);
        hostile::SimulatePress(*f, 9); // dataread, waiting for STX
        hostile::SimulateLoad(*f, 250);
        f->ReceiveChunkForTest(Bytes({wire::STX}));
        EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
        EXPECT_EQ(f->state.LastSampleIndex, 250);
        f->HScroll1_Change();
        // The stream's first record then starts the capture again from record 0.
        f->ReceiveChunkForTest(analog ? Bytes({0x00, 0x07, 0x01, 0x02}) : Bytes({0x00, 0x07, 0x01}));
        EXPECT_EQ(f->state.LastSampleIndex, 0);
        EXPECT_EQ(f->state.SampleData.at(0, 0), 7);
        EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
    }
}
