// The device buttons against a scripted instrument: the bytes each press
// writes, the banner and Run/Stop captions, and the work flow of the buttons.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/picture_box.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "support/form_fixture.h"

namespace {

const QByteArray kAck = Bytes({0x06});

// A small Logic stream: three records.
const QByteArray kStream = Bytes({0x02, 0x00, 0x00, 0x05, 0x00, 0x10, 0x04, 0x00, 0x25, 0x05, 0x80});

// Answers like a well-behaved instrument: ACK to each Setting step and to
// run, the stream to a read, a stop reply to stop. Records the banner caption
// and visibility at each write.
struct Instrument {
    QByteArray stream = kStream;
    QByteArray stopReply = Bytes({0x02, 0x12, 0x34, 0x03});
    bool answerRun = true;
    QStringList banners;
    std::vector<QByteArray> writes;

    void attach(Form1 &f)
    {
        ScriptInstrument(f, [this, &f](const QByteArray &w) -> QByteArray {
            writes.push_back(w);
            banners << (f.Label5->isVisible() ? f.Label5->text() : QStringLiteral("(hidden)"));
            const uint8_t code = uint8_t(w[0]) & 0x0F;
            switch (code) {
            case 0x4:
            case 0x5: return answerRun ? kAck : QByteArray();
            case 0x6:
            case 0x7: return stream;
            case 0xE: return stopReply;
            case 0x8: return Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03});
            default: return kAck;
            }
        });
    }
};

} // namespace

TEST(Sequencer, SettingSendsSixStepsWithDesignStateBytes)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.attach(*f);
    f->Command1[0]->click();
    ASSERT_EQ(inst.writes.size(), 6u);
    EXPECT_EQ(inst.writes[0], Bytes({0xB0}));
    EXPECT_EQ(inst.writes[1], Bytes({1}));
    EXPECT_EQ(inst.writes[2], Bytes({50}));
    EXPECT_EQ(inst.writes[3], Bytes({83}));
    EXPECT_EQ(inst.writes[4], Bytes({0x09}));
    EXPECT_EQ(inst.writes[5], Bytes({0x0A, 0x80}));
    for (const QString &b : inst.banners)
        EXPECT_EQ(b, QStringLiteral("設定中"));
    EXPECT_TRUE(f->Command1[1]->isEnabled());
    EXPECT_FALSE(f->Command1[2]->isEnabled());
    EXPECT_FALSE(f->Label5->isVisible());
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
}

TEST(Sequencer, SettingWorkedExample)
{
    auto f = MakeDetachedForm();
    f->setListIndex(f->Combo1, 2);
    Instrument inst;
    inst.attach(*f);
    f->Command1[0]->click();
    QByteArray all;
    for (const auto &w : inst.writes)
        all += w;
    EXPECT_EQ(all, Bytes({0xB0, 0x21, 0x32, 0x53, 0x09, 0x0A, 0x80}));
}

TEST(Sequencer, SettingBytesFollowEveryControl)
{
    auto f = MakeDetachedForm();
    f->setListIndex(f->Combo1, 7);
    f->selectOption(f->Option1[1]);
    f->selectOption(f->Option2[3]); // tag 1
    f->selectOption(f->Option3[3]);
    f->setCheckValue(0, 0);
    f->setCheckValue(1, 1);
    f->setCheckValue(3, 1);
    f->VScroll2->setValue(0);
    Instrument inst;
    inst.attach(*f);
    f->Command1[0]->click();
    QByteArray all;
    for (const auto &w : inst.writes)
        all += w;
    // 0x01+16*7+128, 0x02+16*1+64*3, 0x03+16*(2+4+8), Logic, level 255.
    EXPECT_EQ(all, Bytes({0xB0, 0xF1, 0xD2, 0xE3, 0x09, 0x0A, 0xFF}));

    auto g = MakeDetachedForm();
    g->selectOption(g->Option4[1]);
    g->VScroll2->setValue(255);
    Instrument inst2;
    inst2.attach(*g);
    g->Command1[0]->click();
    EXPECT_EQ(inst2.writes[4], Bytes({0x19}));
    EXPECT_EQ(inst2.writes[5], Bytes({0x0A, 0x00}));
}

TEST(Sequencer, RunInLogicModeReadsFullLengthAndDraws)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.attach(*f);
    f->Command1[0]->click();
    inst.writes.clear();
    inst.banners.clear();
    f->HScroll1->setValue(500);
    f->Command1[1]->click();
    ASSERT_EQ(inst.writes.size(), 2u);
    EXPECT_EQ(inst.writes[0], Bytes({0x04}));
    EXPECT_EQ(inst.writes[1], Bytes({0x06}));
    EXPECT_EQ(inst.banners, (QStringList{QStringLiteral("測定中"), QStringLiteral("読込中")}));
    EXPECT_EQ(f->state.LastSampleIndex, 2);
    EXPECT_EQ(f->HScroll1->value(), 0);
    EXPECT_GT(f->Picture1->drawnLineCount(), 0u);
    EXPECT_TRUE(f->Command1[2]->isEnabled());
    EXPECT_TRUE(f->Command2[1]->isEnabled());
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_FALSE(f->Label5->isVisible());
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
}

TEST(Sequencer, RunLengthForms)
{
    struct Case { bool analog; int slider; QByteArray run; QByteArray read; };
    const Case cases[] = {
        {false, 32767, Bytes({0x04}), Bytes({0x06})},
        {false, 300, Bytes({0x04}), Bytes({0x07, 0x01, 0x2C})},
        {false, 0x7FFE, Bytes({0x04}), Bytes({0x07, 0x7F, 0xFE})},
        {true, 1000, Bytes({0x05, 0x03, 0xE8}), Bytes({0x07, 0x03, 0xE8})},
        {true, 16383, Bytes({0x05, 0x3F, 0xFF}), Bytes({0x07, 0x3F, 0xFF})},
    };
    for (const Case &c : cases) {
        auto f = MakeDetachedForm();
        if (c.analog)
            f->selectOption(f->Option4[1]);
        f->setSliderValue(c.slider);
        Instrument inst;
        if (c.analog)
            inst.stream = Bytes({0x02, 0x00, 0x00, 0x01, 0x7F, 0x00, 0x01, 0x01, 0x80, 0x80});
        inst.attach(*f);
        f->Command1[0]->click();
        inst.writes.clear();
        f->Command1[1]->click();
        ASSERT_EQ(inst.writes.size(), 2u);
        EXPECT_EQ(inst.writes[0], c.run) << c.slider;
        EXPECT_EQ(inst.writes[1], c.read) << c.slider;
        EXPECT_EQ(f->state.LastSampleIndex, c.analog ? 1 : 2);
    }
}

TEST(Sequencer, StopDuringRunReadsReportedLength)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.answerRun = false; // the capture runs until stopped
    inst.attach(*f);
    f->Command1[0]->click();
    inst.writes.clear();
    inst.banners.clear();
    bool bannerHiddenAfterStop = false;
    QString captionDuringRun;
    QTimer::singleShot(20, f.get(), [&] {
        captionDuringRun = f->Command1[1]->text();
        f->Command1[1]->click(); // Stop
        bannerHiddenAfterStop = !f->Label5->isVisible();
    });
    f->Command1[1]->click();
    EXPECT_EQ(captionDuringRun, QStringLiteral("Stop"));
    EXPECT_TRUE(bannerHiddenAfterStop);
    ASSERT_EQ(inst.writes.size(), 3u);
    EXPECT_EQ(inst.writes[0], Bytes({0x04}));
    EXPECT_EQ(inst.writes[1], Bytes({0x0E}));
    EXPECT_EQ(inst.writes[2], Bytes({0x07, 0x12, 0x34}));
    EXPECT_EQ(f->Slider1->value(), 4660);
    EXPECT_EQ(f->Text1->text(), f->UpdateReadouts(4660, false));
    EXPECT_EQ(f->state.LastSampleIndex, 2);
    EXPECT_TRUE(f->Command1[2]->isEnabled());
    EXPECT_TRUE(f->Command2[1]->isEnabled());
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
}

TEST(Sequencer, StopAnsweredByNakReadsNothing)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.answerRun = false;
    inst.stopReply = Bytes({0x15});
    inst.attach(*f);
    f->Command1[0]->click();
    inst.writes.clear();
    QTimer::singleShot(20, f.get(), [&] { f->Command1[1]->click(); });
    f->Command1[1]->click();
    ASSERT_EQ(inst.writes.size(), 2u);
    EXPECT_EQ(inst.writes[1], Bytes({0x0E}));
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_FALSE(f->Command1[2]->isEnabled());
    EXPECT_EQ(f->state.LastSampleIndex, -1);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_FALSE(f->Label5->isVisible());
}

TEST(Sequencer, StopDuringNestedReadTakesRestByStopRules)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.stream = Bytes({0x02, 0x00, 0x00, 0x05}); // the stream stalls after one record
    inst.stopReply = Bytes({0x02, 0x00, 0x10, 0x03});
    inst.attach(*f);
    f->Command1[0]->click();
    inst.writes.clear();
    int stopsLeft = 1;
    f->MSComm1->onWrite = [&, port = f->MSComm1](const QByteArray &w) {
        inst.writes.push_back(w);
        const uint8_t code = uint8_t(w[0]) & 0x0F;
        if (code == 0x4)
            port->injectInput(kAck);
        else if (code == 0x6 || code == 0x7) {
            port->injectInput(inst.stream);
            if (stopsLeft-- > 0)
                QTimer::singleShot(20, f.get(), [&] {
                    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Stop"));
                    EXPECT_EQ(f->state.PendingCommand, wire::STATE_DATAREAD);
                    f->Command1[1]->click();
                });
        } else if (code == 0xE)
            port->injectInput(inst.stopReply);
    };
    f->Command1[1]->click();
    ASSERT_GE(inst.writes.size(), 3u);
    EXPECT_EQ(inst.writes[2], Bytes({0x0E}));
    EXPECT_EQ(f->Slider1->value(), 16);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
}

TEST(Sequencer, EveryPressClearsDrawingAndCapture)
{
    auto f = MakeDetachedForm();
    Instrument inst;
    inst.attach(*f);
    f->Command1[0]->click();
    f->Command1[1]->click();
    ASSERT_GT(f->Picture1->drawnLineCount(), 0u);
    f->Command1[3]->click(); // Set Read
    EXPECT_EQ(f->state.LastSampleIndex, -1);
    EXPECT_EQ(f->Picture1->drawnLineCount(), 0u);
}

TEST(Sequencer, SetReadFillsControlsWithReadBanner)
{
    auto f = MakeDetachedForm();
    f->setListIndex(f->Combo1, 6);
    f->VScroll2->setValue(10);
    Instrument inst;
    inst.attach(*f);
    f->Command1[3]->click();
    ASSERT_EQ(inst.writes.size(), 1u);
    EXPECT_EQ(inst.writes[0], Bytes({0x08}));
    EXPECT_EQ(inst.banners.value(0), QStringLiteral("読込中"));
    EXPECT_EQ(f->Combo1->currentIndex(), 2);
    EXPECT_EQ(f->VScroll2->value(), 127);
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_FALSE(f->Label5->isVisible());
}

TEST(Sequencer, SecondPressDuringWaitReplacesTheTransaction)
{
    // A Set Read pressed while Setting waits for its first ACK: the instrument
    // answers the settings request; the outer wait ends when the state empties.
    auto f = MakeDetachedForm();
    int writes = 0;
    f->MSComm1->onWrite = [&, port = f->MSComm1](const QByteArray &w) {
        ++writes;
        if (uint8_t(w[0]) == 0xB0)
            QTimer::singleShot(10, f.get(), [&] { f->Command1[3]->click(); });
        else if (uint8_t(w[0]) == 0x08)
            port->injectInput(Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03}));
        else
            port->injectInput(kAck);
    };
    f->Command1[0]->click();
    EXPECT_EQ(writes, 7); // B0, 08, then the remaining five steps
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_TRUE(f->Command1[1]->isEnabled());
}

TEST(Sequencer, RangeByteDuringPendingCommandIsNotARangeReport)
{
    auto f = MakeDetachedForm();
    f->MSComm1->onWrite = [port = f->MSComm1](const QByteArray &) { port->injectInput(Bytes({0xEF, 0x06})); };
    f->Command1[0]->click();
    EXPECT_EQ(f->Combo2->currentIndex(), 1);
    EXPECT_TRUE(f->Command1[1]->isEnabled());
}
