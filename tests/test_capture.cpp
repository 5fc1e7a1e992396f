// The Capture value against hand-made records and stores, in both modes.
#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include "capture/capture.h"
#include "support/form_fixture.h"

namespace {

using Mode = Capture::Mode;

TEST(Capture, RateTablesGiveExactPeriodsAndRates)
{
    struct Row {
        Mode mode;
        int index;
        uint64_t hz;
        int64_t ps;
        const char *text;
    } rows[] = {
        {Mode::Logic, 0, 20'000'000, 50'000, "20MHz"},     {Mode::Logic, 3, 2'000'000, 500'000, "2MHz"},
        {Mode::Logic, 7, 100'000, 10'000'000, "100KHz"},   {Mode::Analog, 0, 20'000, 50'000'000, "20KHz"},
        {Mode::Analog, 7, 100, 10'000'000'000, "100Hz"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(Capture::sampleRateHzFor(r.mode, r.index), r.hz);
        EXPECT_EQ(Capture::samplePeriodPsFor(r.mode, r.index), r.ps);
        EXPECT_EQ(Capture::rateTextFor(r.mode, r.index), QString::fromUtf8(r.text));
        EXPECT_EQ(Capture::rateIndexForHz(r.mode, r.hz), r.index);
    }
    EXPECT_EQ(Capture::sampleRateHzFor(Mode::Logic, 8), 0u);
    EXPECT_EQ(Capture::rateIndexForHz(Mode::Logic, 3'000'000), -1);
}

TEST(Capture, LogicRecordsHoldTheirLevelsUntilTheNextRecord)
{
    // The worked example of a Logic stream: time 0 levels 5, 16 levels 4, 37 levels 5.
    const Capture c(Mode::Logic, 2, 50, {{0, 0x05, 0}, {16, 0x04, 0}, {37, 0x05, 0}});
    EXPECT_EQ(c.sampleCount(), 50);
    EXPECT_EQ(c.durationPs(), 50 * 200'000);
    EXPECT_EQ(c.level(0, 0), 1);
    EXPECT_EQ(c.level(0, 15), 1);
    EXPECT_EQ(c.level(0, 16), 0);
    EXPECT_EQ(c.level(2, 36), 1);
    EXPECT_EQ(c.levelsAt(37), 0x05);
    EXPECT_EQ(c.levelsAt(49), 0x05);
    const std::vector<uint8_t> bytes = c.expandLogic();
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(bytes[15], 0x05);
    EXPECT_EQ(bytes[16], 0x04);
    EXPECT_EQ(bytes[36], 0x04);
    EXPECT_EQ(bytes[37], 0x05);
    EXPECT_TRUE(c.expandAnalog().empty());
    EXPECT_DOUBLE_EQ(c.analogVoltsAt(3), 0.0);
}

TEST(Capture, CountCoversTheLastRecordAndTimesAreCleaned)
{
    // A loaded file knows no measurement length; times out of order or out of
    // range do not reach readers.
    const Capture c(Mode::Logic, 0, 0, {{5, 1, 0}, {3, 2, 0}, {40000, 3, 0}, {-7, 4, 0}});
    ASSERT_EQ(c.records().size(), 4u);
    EXPECT_EQ(c.records()[1].time, 5);
    EXPECT_EQ(c.records()[2].time, Capture::kMaxTime);
    EXPECT_EQ(c.records()[3].time, Capture::kMaxTime);
    EXPECT_EQ(c.sampleCount(), Capture::kMaxTime + 1);
    EXPECT_EQ(c.levelsAt(4), 0);      // before the first record
    EXPECT_EQ(c.levelsAt(5), 2);      // equal times: the later record is in force
    EXPECT_EQ(c.levelsAt(32767), 4);
    EXPECT_EQ(Capture().sampleCount(), 0);
    EXPECT_TRUE(Capture().expandLogic().empty());
}

TEST(Capture, AnalogCountsBecomeVoltsOfTheRangeInUse)
{
    // Worked example of an Analog stream: (0, 1, 127), (1, 1, 128).
    const Capture c(Mode::Analog, 0, 2, {{0, 1, 127}, {1, 1, 128}}, {}, /*range x10*/ 4);
    EXPECT_DOUBLE_EQ(c.voltsPerCount(), 50.0 / 255.0);
    EXPECT_DOUBLE_EQ(c.analogVoltsAt(1), 128 * 50.0 / 255.0);
    EXPECT_EQ(c.expandAnalog(), (std::vector<uint8_t>{127, 128}));
    EXPECT_EQ(c.samplePeriodPs(), 50'000'000);
}

TEST(Capture, BuiltFromTheWindowWithItsSettings)
{
    auto form = MakeDetachedForm(false);
    EXPECT_TRUE(form->capture().isEmpty());

    form->Option4[1]->setChecked(true);    // Analog
    form->Combo1->setCurrentIndex(3);       // 2KHz
    form->Combo2->setCurrentIndex(2);       // x2
    form->state.SampleData.create(3, 2);
    const int32_t rows[3][3] = {{0, 0x81, 0}, {1, 0x80, 255}, {2, 0x01, 51}};
    for (int n = 0; n < 3; ++n)
        for (int f = 0; f < 3; ++f)
            form->state.SampleData.set(f, n, rows[n][f]);
    form->state.LastSampleIndex = 1; // record 2 is spare

    const Capture c = form->capture();
    EXPECT_TRUE(c.isAnalog());
    EXPECT_EQ(c.rateIndex(), 3);
    EXPECT_EQ(c.sampleRateHz(), 2000u);
    EXPECT_EQ(c.samplePeriodPs(), 500'000'000);
    ASSERT_EQ(c.records().size(), 2u);
    EXPECT_EQ(c.records()[1].levels, 0x80);
    EXPECT_DOUBLE_EQ(c.analogVoltsAt(1), 10.0); // full scale at x2
    EXPECT_EQ(c.trigger().kind, 0);
    EXPECT_EQ(c.trigger().condition, 3); // "↑ =" selected at start-up
    EXPECT_EQ(c.trigger().levelCount, 128);
    EXPECT_EQ(c.sampleCount(), 2);
}

} // namespace
