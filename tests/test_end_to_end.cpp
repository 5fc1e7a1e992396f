// The application and the simulated instrument over a pseudo-terminal, as a
// user drives them: settings, captures, stops, read-back and range reports.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/picture_box.h"
#include "sim/pty_transport.h"
#include "sim/signals.h"
#include "support/form_fixture.h"
#include "support/pty_peer.h"

namespace {

struct Bench {
    sim::SimulatorPty sim;
    std::unique_ptr<Form1> form;

    explicit Bench(double timeScale = 0.0)
    {
        sim.setPacing(false);
        sim.setTimeScale(timeScale);
        QString error;
        EXPECT_TRUE(sim.start(&error)) << qPrintable(error);
        Form1::endProgram = [](int) {};
        form = std::make_unique<Form1>(PortChoice{PortChoice::Device, sim.slavePath()});
        form->Form_Load();
        form->show();
    }
};

struct Rec {
    int32_t time, levels, sample;
};

// Decodes a sample stream as the instrument sent it.
std::vector<Rec> Decode(const QByteArray &stream, bool analog)
{
    std::vector<Rec> out;
    const int r = analog ? 4 : 3;
    int pos = 1;
    while (pos < stream.size() && uint8_t(stream[pos]) != 0x80) {
        Rec rec{(uint8_t(stream[pos]) << 8) | uint8_t(stream[pos + 1]), uint8_t(stream[pos + 2]),
                analog ? uint8_t(stream[pos + 3]) : -1};
        out.push_back(rec);
        pos += r;
    }
    return out;
}

void ExpectStoreHolds(const Form1 &f, const std::vector<Rec> &expected, bool analog)
{
    ASSERT_EQ(f.state.LastSampleIndex + 1, int32_t(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const int32_t n = int32_t(i);
        ASSERT_EQ(f.state.SampleData.at(0, n), expected[i].time) << "record " << i;
        ASSERT_EQ(f.state.SampleData.at(1, n), expected[i].levels) << "record " << i;
        if (analog) {
            ASSERT_EQ(f.state.SampleData.at(2, n), expected[i].sample) << "record " << i;
        }
    }
}

} // namespace

TEST(EndToEnd, SettingRunAndReadInLogicMode)
{
    Bench b;
    Form1 &f = *b.form;
    f.setListIndex(f.Combo1, 1);
    f.Command1[0]->click();
    ASSERT_TRUE(f.Command1[1]->isEnabled());
    const sim::SimSettings s = b.sim.settings();
    EXPECT_EQ(s.rateIndex(), 1);
    EXPECT_FALSE(s.analog());
    f.Command1[1]->click();
    EXPECT_TRUE(f.state.PendingCommand.isEmpty());
    EXPECT_TRUE(f.Command2[1]->isEnabled());
    EXPECT_TRUE(f.Command1[2]->isEnabled());
    // Far fewer records than sample periods: one per change of the levels.
    EXPECT_GT(f.state.LastSampleIndex, 50);
    EXPECT_LT(f.state.LastSampleIndex, 32767 / 4);
    ExpectStoreHolds(f, Decode(sim::sampleStream(s, 32767), false), false);
    EXPECT_GT(f.Picture1->drawnLineCount(), 100u);
    // DataRead reads the same capture again.
    f.Command1[2]->click();
    ExpectStoreHolds(f, Decode(sim::sampleStream(s, 32767), false), false);
}

TEST(EndToEnd, AnalogCaptureOfGivenLength)
{
    Bench b(0.001);
    Form1 &f = *b.form;
    f.selectOption(f.Option4[1]);
    f.selectOption(f.Option1[1]); // FreeRun
    f.setSliderValue(1000);
    f.Command1[0]->click();
    f.Command1[1]->click();
    const sim::SimSettings s = b.sim.settings();
    EXPECT_TRUE(s.analog());
    const auto expected = Decode(sim::sampleStream(s, 1000), true);
    ASSERT_EQ(expected.size(), 1000u); // one record per sample period
    ExpectStoreHolds(f, expected, true);
    EXPECT_EQ(f.state.SampleData.fieldCount(), 3);
}

TEST(EndToEnd, StopDuringLongCaptureReadsWhatWasRecorded)
{
    Bench b(1.0);
    Form1 &f = *b.form;
    f.selectOption(f.Option4[1]);
    f.selectOption(f.Option1[1]);
    f.setListIndex(f.Combo1, 7); // 100Hz: a full capture would take 163 s
    f.Command1[0]->click();
    QTimer::singleShot(300, &f, [&] { f.Command1[1]->click(); });
    f.Command1[1]->click();
    const int length = f.Slider1->value();
    EXPECT_GE(length, 10);
    EXPECT_LE(length, 300);
    EXPECT_EQ(f.state.LastSampleIndex + 1, length);
    EXPECT_EQ(f.Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_TRUE(f.Command2[1]->isEnabled());
}

TEST(EndToEnd, SetReadRestoresWhatSettingSent)
{
    Bench b;
    Form1 &f = *b.form;
    f.setListIndex(f.Combo1, 4);
    f.selectOption(f.Option1[1]);
    f.selectOption(f.Option2[3]);
    f.selectOption(f.Option3[2]);
    f.setCheckValue(1, 1);
    f.setCheckValue(2, 0);
    f.VScroll2->setValue(40);
    f.Command1[0]->click();

    f.setListIndex(f.Combo1, 0);
    f.selectOption(f.Option1[0]);
    f.selectOption(f.Option2[0]);
    f.selectOption(f.Option3[0]);
    f.setCheckValue(1, 0);
    f.setCheckValue(2, 1);
    f.VScroll2->setValue(200);
    f.selectOption(f.Option4[1]);

    f.Command1[3]->click();
    EXPECT_TRUE(f.isLogicMode());
    EXPECT_EQ(f.Combo1->currentIndex(), 4);
    EXPECT_TRUE(f.Option1[1]->isChecked());
    EXPECT_TRUE(f.Option2[3]->isChecked());
    EXPECT_TRUE(f.Option3[2]->isChecked());
    EXPECT_EQ(f.checkValue(0), 1);
    EXPECT_EQ(f.checkValue(1), 1);
    EXPECT_EQ(f.checkValue(2), 0);
    EXPECT_EQ(f.checkValue(3), 0);
    EXPECT_EQ(f.VScroll2->value(), 40);
}

TEST(EndToEnd, SetReadSwitchesToAnalogAndKeepsRate)
{
    Bench b;
    Form1 &f = *b.form;
    f.selectOption(f.Option4[1]);
    f.setListIndex(f.Combo1, 3);
    f.Command1[0]->click();
    f.selectOption(f.Option4[0]);
    f.Command1[3]->click();
    EXPECT_TRUE(f.isAnalogMode());
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("2KHz"));
}

TEST(EndToEnd, RangeSwitchSelectsTheRangeEntry)
{
    Bench b;
    Form1 &f = *b.form;
    f.selectOption(f.Option4[1]);
    ASSERT_TRUE(b.sim.reportRangeSwitch(3));
    EXPECT_TRUE(WaitUntil([&] { return f.Combo2->currentIndex() == 3; }, 5000));
    EXPECT_FLOAT_EQ(f.state.VoltageScale, 4.0f);
    ASSERT_TRUE(b.sim.reportRangeSwitch(0));
    EXPECT_TRUE(WaitUntil([&] { return f.Combo2->currentIndex() == 0; }, 5000));
}
