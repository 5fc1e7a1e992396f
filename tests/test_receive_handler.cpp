// The receive handler: byte rules of every transaction state, replies split
// anywhere, and a store that no byte sequence can write outside of.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <gtest/gtest.h>

#include "device/wire_protocol.h"
#include "support/form_fixture.h"

namespace {

struct Rec {
    int32_t time, levels, sample;
};

std::vector<Rec> Records(const Form1 &f)
{
    std::vector<Rec> out;
    const SampleStore &s = f.state.SampleData;
    for (int32_t i = 0; i <= f.state.LastSampleIndex; ++i) {
        EXPECT_TRUE(s.has(0, i) && s.has(1, i)) << "record " << i << " outside the store";
        out.push_back({s.at(0, i), s.at(1, i), s.has(2, i) ? s.at(2, i) : -1});
    }
    return out;
}

void StartRead(Form1 &f)
{
    f.state.PendingCommand = wire::STATE_DATAREAD;
    f.state.ReplyPos = 0;
    f.state.LastSampleIndex = -1;
}

void SelectAnalog(Form1 &f) { f.selectOption(f.Option4[1]); }

const QByteArray kLogicStream = Bytes({0x02, 0x00, 0x00, 0x05, 0x00, 0x10, 0x04, 0x00, 0x25, 0x05, 0x80});
const QByteArray kAnalogStream = Bytes({0x02, 0x00, 0x00, 0x01, 0x7F, 0x00, 0x01, 0x01, 0x80, 0x80});

} // namespace

TEST(ReceiveStream, LogicWorkedExampleGivesThreeRecords)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, kLogicStream);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    ASSERT_EQ(f->state.LastSampleIndex, 2);
    const auto r = Records(*f);
    EXPECT_EQ(r[0].time, 0);  EXPECT_EQ(r[0].levels, 0x05);
    EXPECT_EQ(r[1].time, 16); EXPECT_EQ(r[1].levels, 0x04);
    EXPECT_EQ(r[2].time, 37); EXPECT_EQ(r[2].levels, 0x05);
    EXPECT_EQ(f->state.SampleData.fieldCount(), 2);
}

TEST(ReceiveStream, AnalogWorkedExampleKeepsEmbedded0x80AsSample)
{
    auto f = MakeDetachedForm(false);
    SelectAnalog(*f);
    StartRead(*f);
    Receive(*f, kAnalogStream);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    ASSERT_EQ(f->state.LastSampleIndex, 1);
    const auto r = Records(*f);
    EXPECT_EQ(r[0].time, 0); EXPECT_EQ(r[0].levels, 1); EXPECT_EQ(r[0].sample, 127);
    EXPECT_EQ(r[1].time, 1); EXPECT_EQ(r[1].levels, 1); EXPECT_EQ(r[1].sample, 128);
    EXPECT_EQ(f->state.SampleData.fieldCount(), 3);
}

TEST(ReceiveStream, SplitAtEveryBoundaryGivesTheSameCapture)
{
    for (bool analog : {false, true}) {
        const QByteArray stream = analog ? kAnalogStream : kLogicStream;
        for (int cut1 = 0; cut1 <= stream.size(); ++cut1) {
            for (int cut2 = cut1; cut2 <= stream.size(); ++cut2) {
                auto f = MakeDetachedForm(false);
                if (analog)
                    SelectAnalog(*f);
                StartRead(*f);
                Receive(*f, stream.left(cut1));
                Receive(*f, stream.mid(cut1, cut2 - cut1));
                Receive(*f, stream.mid(cut2));
                SCOPED_TRACE(testing::Message() << "analog " << analog << " cuts " << cut1 << "," << cut2);
                EXPECT_TRUE(f->state.PendingCommand.isEmpty());
                EXPECT_EQ(f->state.LastSampleIndex, analog ? 1 : 2);
                const auto r = Records(*f);
                if (!analog) {
                    ASSERT_EQ(r.size(), 3u);
                    EXPECT_EQ(r[2].time, 37);
                } else {
                    ASSERT_EQ(r.size(), 2u);
                    EXPECT_EQ(r[1].sample, 128);
                }
            }
        }
    }
}

TEST(ReceiveStream, StxThenEndLeavesEmptyCaptureAndFreshStore)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02, 0x80}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->state.LastSampleIndex, -1);
    EXPECT_EQ(f->state.SampleData.upperBound(), 9);
    for (int32_t i = 0; i <= 9; ++i)
        EXPECT_EQ(f->state.SampleData.at(0, i), 0);
}

TEST(ReceiveStream, BytesBeforeStxAreSkipped)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x80, 0x06, 0x15, 0x02, 0x00, 0x07, 0x01, 0x80}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    ASSERT_EQ(f->state.LastSampleIndex, 0);
    EXPECT_EQ(f->state.SampleData.at(0, 0), 7);
    EXPECT_EQ(f->state.SampleData.at(1, 0), 1);
}

TEST(ReceiveStream, Byte0x80AsLowTimeAndLevelsIsData)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02, 0x01, 0x80, 0x80, 0x7F, 0xFF, 0x80, 0x80}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    ASSERT_EQ(f->state.LastSampleIndex, 1);
    EXPECT_EQ(f->state.SampleData.at(0, 0), 0x180);
    EXPECT_EQ(f->state.SampleData.at(1, 0), 0x80);
    EXPECT_EQ(f->state.SampleData.at(0, 1), 0x7FFF);
    EXPECT_EQ(f->state.SampleData.at(1, 1), 0x80);
}

TEST(ReceiveStream, TimeStampsAreNotAccumulated)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02, 0x00, 0x05, 0x01, 0x00, 0x05, 0x02, 0x00, 0x03, 0x00, 0x80}));
    const auto r = Records(*f);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].time, 5);
    EXPECT_EQ(r[1].time, 5);
    EXPECT_EQ(r[2].time, 3);
}

TEST(ReceiveStream, LogicStoreGrowsInStepsOfEightRecords)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02}));
    EXPECT_EQ(f->state.SampleData.upperBound(), 9);
    struct Step { int records; int32_t bound; };
    const Step steps[] = {{7, 9}, {8, 17}, {15, 17}, {16, 25}, {24, 33}};
    int sent = 0;
    for (const Step &s : steps) {
        QByteArray more;
        for (; sent < s.records; ++sent)
            more += Bytes({0x00, sent, 0x01});
        Receive(*f, more);
        EXPECT_EQ(f->state.SampleData.upperBound(), s.bound) << "after " << s.records << " records";
    }
}

TEST(ReceiveStream, FullStreamGrowsWithoutCopyingEveryStep)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    QByteArray stream(1, char(0x02));
    for (int i = 0; i < 32768; ++i)
        stream += Bytes({(i >> 8) & 0x7F, i & 0xFF, i & 0xFF});
    stream += Bytes({0x80});
    Receive(*f, stream);
    EXPECT_EQ(f->state.LastSampleIndex, 32767);
    EXPECT_EQ(f->state.SampleData.at(0, 32767), 32767);
    // The visible bound follows the ten-record rule (record 32767 = 7 + 8 * 4095
    // triggers a last step to 32777); the memory behind it grew geometrically.
    EXPECT_EQ(f->state.SampleData.upperBound(), 32777);
    EXPECT_LE(f->state.SampleData.capacity(), 2u * 32778u);
}

// ---------------------------------------------------------------- faults mended

TEST(ReceiveStreamGuards, SwitchToLogicMidStreamNeverWritesOutsideTheStore)
{
    // An Analog stream arrives; half-way the user switches to Logic mode: the
    // record length drops to 3, so j div R jumps ahead of the store's bound.
    auto f = MakeDetachedForm(false);
    SelectAnalog(*f);
    StartRead(*f);
    QByteArray first(1, char(0x02));
    for (int i = 0; i < 300; ++i)
        first += Bytes({0x00, i & 0xFF, 0x01, 0x80});
    Receive(*f, first);
    f->selectOption(f->Option4[0]);
    EXPECT_EQ(f->state.LastSampleIndex, -1);
    QByteArray second;
    for (int i = 0; i < 300; ++i)
        second += Bytes({0x01, i & 0xFF, 0x02});
    Receive(*f, second);
    ASSERT_GE(f->state.LastSampleIndex, 0);
    EXPECT_LE(f->state.LastSampleIndex, f->state.SampleData.upperBound());
    Records(*f); // every valid record lies inside the store
}

TEST(ReceiveStreamGuards, AnalogRecordIntoLogicStoreGrowsField2)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02, 0x00, 0x01, 0x03})); // Logic store, fields 0..1
    EXPECT_EQ(f->state.SampleData.fieldCount(), 2);
    SelectAnalog(*f); // record length becomes 4 mid-stream
    Receive(*f, Bytes({0x00, 0x02, 0x05, 0xAA, 0x00, 0x03, 0x06, 0xBB}));
    EXPECT_EQ(f->state.SampleData.fieldCount(), 3);
    ASSERT_GE(f->state.LastSampleIndex, 0);
    EXPECT_TRUE(f->state.SampleData.has(2, f->state.LastSampleIndex));
}

TEST(ReceiveStreamGuards, StoreReplacedMidStreamIsGrownNotOverrun)
{
    // A Load (or anything else that replaces the store) during a stream.
    for (int bound : {-1, 0, 3}) {
        auto f = MakeDetachedForm(false);
        StartRead(*f);
        QByteArray head(1, char(0x02));
        for (int i = 0; i < 50; ++i)
            head += Bytes({0x00, i, 0x01});
        Receive(*f, head);
        f->state.SampleData.create(2, bound);
        QByteArray tail;
        for (int i = 50; i < 100; ++i)
            tail += Bytes({0x00, i, 0x02});
        tail += Bytes({0x80});
        Receive(*f, tail);
        EXPECT_TRUE(f->state.PendingCommand.isEmpty());
        EXPECT_EQ(f->state.LastSampleIndex, 99);
        EXPECT_EQ(f->state.SampleData.at(0, 99), 99);
        Records(*f);
    }
}

TEST(ReceiveStreamGuards, SecondDataReadRestartsCleanly)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    Receive(*f, Bytes({0x02, 0x00, 0x01, 0x01, 0x00, 0x02}));
    StartRead(*f); // a second read begins: bytes until its STX are skipped
    Receive(*f, Bytes({0x03, 0x00, 0x02, 0x00, 0x09, 0x07, 0x80}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    ASSERT_EQ(f->state.LastSampleIndex, 0);
    EXPECT_EQ(f->state.SampleData.at(0, 0), 9);
    EXPECT_EQ(f->state.SampleData.at(1, 0), 7);
}

TEST(ReceiveStreamGuards, StreamLongerThanAnyCaptureStaysBounded)
{
    auto f = MakeDetachedForm(false);
    StartRead(*f);
    const int records = Form1::kMaxStreamRecords + 5000;
    QByteArray stream;
    stream.reserve(records * 3 + 2);
    stream.append(char(0x02));
    for (int i = 0; i < records; ++i) {
        stream.append(char(0x00));
        stream.append(char(0x01));
        stream.append(char(0x55));
    }
    stream.append(char(0x80));
    Receive(*f, stream);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->state.LastSampleIndex, Form1::kMaxStreamRecords - 1);
    EXPECT_LE(f->state.SampleData.upperBound(), Form1::kMaxStreamRecords + 16);
    EXPECT_EQ(f->state.SampleData.at(1, f->state.LastSampleIndex), 0x55);
}

// ---------------------------------------------------------------- acknowledgements

TEST(ReceiveAck, EverySettingStepAndRunEndsWithAckOnly)
{
    for (const QString &s : {wire::STATE_SET0, wire::STATE_SET1, wire::STATE_SET2, wire::STATE_SET3,
                             wire::STATE_SETMODE, wire::STATE_SETTRGV, wire::STATE_RUN}) {
        auto f = MakeDetachedForm(false);
        f->state.PendingCommand = s;
        Receive(*f, Bytes({0x02, 0x15, 0x80, 0xEF}));
        EXPECT_EQ(f->state.PendingCommand, s) << qPrintable(s);
        Receive(*f, Bytes({0x06}));
        EXPECT_TRUE(f->state.PendingCommand.isEmpty()) << qPrintable(s);
    }
}

TEST(ReceiveAck, AckThenRangeByteInOneChunk)
{
    auto f = MakeDetachedForm(false);
    f->state.PendingCommand = wire::STATE_SET2;
    Receive(*f, Bytes({0x06, 0xEF}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Combo2->currentIndex(), 0);
}

// ---------------------------------------------------------------- range reports

TEST(ReceiveRange, IdleBytesSelectTheRangeEntry)
{
    const int bytes[] = {0xEF, 0xDF, 0xBF, 0x7F, 0xFF};
    for (int pos = 0; pos < 5; ++pos) {
        auto f = MakeDetachedForm(false);
        f->setListIndex(f->Combo2, pos == 2 ? 3 : 2);
        Receive(*f, Bytes({bytes[pos]}));
        EXPECT_EQ(f->Combo2->currentIndex(), pos);
    }
}

TEST(ReceiveRange, OtherIdleBytesChangeNothingAndNacIsCleared)
{
    auto f = MakeDetachedForm(false);
    Receive(*f, Bytes({0x00, 0x06, 0x80, 0xFE}));
    EXPECT_EQ(f->Combo2->currentIndex(), 1);
    f->state.PendingCommand = wire::STATE_NAC;
    Receive(*f, Bytes({0x42}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    f->state.PendingCommand = wire::STATE_NAC;
    Receive(*f, Bytes({0xFF}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Combo2->currentIndex(), 4);
}

TEST(ReceiveRange, ChangedRangeDisablesButtonsSameRangeDoesNot)
{
    auto f = MakeDetachedForm(false);
    f->Command1[1]->setEnabled(true);
    Receive(*f, Bytes({0xDF})); // already "   ×1"
    EXPECT_TRUE(f->Command1[1]->isEnabled());
    Receive(*f, Bytes({0xBF}));
    EXPECT_FALSE(f->Command1[1]->isEnabled());
    EXPECT_FLOAT_EQ(f->state.VoltageScale, 2.0f);
}

// ---------------------------------------------------------------- stop reply

TEST(ReceiveStop, LengthGoesToSliderAndText)
{
    const QByteArray reply = Bytes({0x06, 0x02, 0x12, 0x34, 0x03});
    for (int cut = 0; cut <= reply.size(); ++cut) {
        auto f = MakeDetachedForm(false);
        f->state.PendingCommand = wire::STATE_STOP;
        f->state.ReplyPos = 0;
        f->Command1[1]->setEnabled(true);
        Receive(*f, reply.left(cut));
        Receive(*f, reply.mid(cut));
        EXPECT_TRUE(f->state.PendingCommand.isEmpty()) << "cut " << cut;
        EXPECT_EQ(f->Slider1->value(), 0x1234);
        EXPECT_EQ(f->Text1->text(), f->UpdateReadouts(0x1234, false));
        // Setting the slider from a reply is not a user move.
        EXPECT_TRUE(f->Command1[1]->isEnabled());
    }
}

TEST(ReceiveStop, NakRefusesAndNextIdleByteClearsIt)
{
    auto f = MakeDetachedForm(false);
    f->state.PendingCommand = wire::STATE_STOP;
    f->state.ReplyPos = 0;
    Receive(*f, Bytes({0x15}));
    EXPECT_EQ(f->state.PendingCommand, wire::STATE_NAC);
}

TEST(ReceiveStop, LengthAboveMaximumIsCutBySlider)
{
    auto f = MakeDetachedForm(false);
    SelectAnalog(*f);
    f->state.PendingCommand = wire::STATE_STOP;
    f->state.ReplyPos = 0;
    Receive(*f, Bytes({0x02, 0x7F, 0xFF, 0x03}));
    EXPECT_EQ(f->Slider1->value(), 16383);
    EXPECT_EQ(f->Text1->text(), f->UpdateReadouts(16383, false));
}

// ---------------------------------------------------------------- settings reply

TEST(ReceiveSettings, WorkedExampleFillsTheControls)
{
    const QByteArray reply = Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03});
    for (int cut = 0; cut <= reply.size(); ++cut) {
        auto f = MakeDetachedForm(false);
        // Start away from the reported settings so every field has to change.
        f->selectOption(f->Option1[1]);
        f->selectOption(f->Option3[3]);
        f->selectOption(f->Option2[0]);
        for (int d = 0; d < 4; ++d)
            f->setCheckValue(d, d == 1);
        f->VScroll2->setValue(3);
        f->state.PendingCommand = wire::STATE_SETREAD;
        f->state.ReplyPos = 0;
        Receive(*f, reply.left(cut));
        Receive(*f, reply.mid(cut));
        SCOPED_TRACE(cut);
        EXPECT_TRUE(f->state.PendingCommand.isEmpty());
        EXPECT_TRUE(f->Option1[0]->isChecked());
        EXPECT_EQ(f->Combo1->currentIndex(), 2);
        EXPECT_TRUE(f->Option3[0]->isChecked());
        EXPECT_EQ(f->Option3[0]->text(), QStringLiteral("Trigger"));
        EXPECT_TRUE(f->Option2[2]->isChecked());
        EXPECT_EQ(f->checkValue(0), 1);
        EXPECT_EQ(f->checkValue(1), 0);
        EXPECT_EQ(f->checkValue(2), 1);
        EXPECT_EQ(f->checkValue(3), 0);
        EXPECT_EQ(f->Check1[1]->text(), QStringLiteral("0"));
        EXPECT_TRUE(f->isLogicMode());
        EXPECT_EQ(f->VScroll2->value(), 127);
        EXPECT_FALSE(f->Check1[0]->isVisible() && !f->Option3[0]->isVisibleTo(f.get()));
    }
}

TEST(ReceiveSettings, ModeSwitchSelectsReportedRateInNewList)
{
    auto f = MakeDetachedForm(false);
    f->state.PendingCommand = wire::STATE_SETREAD;
    f->state.ReplyPos = 0;
    Receive(*f, Bytes({0x02, 0x31, 0x02, 0x03, 0x19, 0x00, 0x03}));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_TRUE(f->isAnalogMode());
    EXPECT_EQ(f->Combo1->currentIndex(), 3);
    EXPECT_EQ(f->Combo1->currentText(), QStringLiteral("2KHz"));
    EXPECT_FLOAT_EQ(f->state.SamplePeriodUs, 500.0f);
    EXPECT_EQ(f->VScroll2->value(), 255);
}

TEST(ReceiveSettings, AnyFourthValueOtherThanOneIsLogic)
{
    for (int s4 : {0x09, 0x29, 0xF9, 0x00}) {
        auto f = MakeDetachedForm(false);
        f->selectOption(f->Option4[1]);
        f->state.PendingCommand = wire::STATE_SETREAD;
        f->state.ReplyPos = 0;
        Receive(*f, Bytes({0x02, 0x51, 0x02, 0x03, s4, 0x00, 0x03}));
        EXPECT_TRUE(f->isLogicMode()) << s4;
        EXPECT_EQ(f->Combo1->currentText(), QStringLiteral("500KHz"));
    }
}
