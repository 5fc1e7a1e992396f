// Readout texts: number patterns, time/frequency, voltage and trigger level.
#include <gtest/gtest.h>

#include <limits>

#include "display/readouts.h"

namespace {

struct NumberCase {
    double value;
    int decimals;
    const char *text;
};

class FormatNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(FormatNumberTest, Pattern)
{
    const NumberCase &c = GetParam();
    EXPECT_EQ(FormatNumber(c.value, c.decimals), QString::fromLatin1(c.text)) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatNumberTest,
    ::testing::Values(
        NumberCase{0.0, 3, "0"}, NumberCase{-0.0, 3, "0"}, NumberCase{2.5, 3, "2.5"},
        NumberCase{5.0, 2, "5"}, NumberCase{50.0, 2, "50"}, NumberCase{100.0, 3, "100"},
        NumberCase{0.05, 2, "0.05"}, NumberCase{0.001, 3, "0.001"}, NumberCase{-3.5, 2, "-3.5"},
        NumberCase{285.714285714, 3, "285.714"}, NumberCase{0.666666666, 3, "0.667"},
        NumberCase{123456.789, 2, "123456.79"},
        // Digit-string rounding, half away from zero: 2.675 is stored a hair
        // below, 1.0005 too, yet both print rounded up at 15 digits.
        NumberCase{0.125, 2, "0.13"}, NumberCase{2.675, 2, "2.68"}, NumberCase{1.0005, 3, "1.001"},
        NumberCase{-1.0005, 3, "-1.001"}, NumberCase{0.0005, 3, "0.001"},
        // Below half of the last decimal: zero, and never "-0".
        NumberCase{0.0004, 3, "0"}, NumberCase{-0.0004, 3, "0"}, NumberCase{-0.004, 2, "0"},
        NumberCase{-0.0049999, 2, "0"}, NumberCase{1e-20, 3, "0"},
        // Carries across digits and into a new integer digit.
        NumberCase{0.9996, 3, "1"}, NumberCase{9.9996, 3, "10"}, NumberCase{99.995, 2, "100"},
        NumberCase{-0.9999, 3, "-1"},
        NumberCase{1234567890123.0, 0, "1234567890123"}, NumberCase{1e20, 3, "100000000000000000000"},
        NumberCase{0.1 + 0.2, 3, "0.3"}));

TEST(FormatSingleNumber, RoundsTheFloatsOwnDigits)
{
    // The float nearest 1.0005 is 1.00049996..., but as a float it reads
    // 1.000500, which rounds up.
    EXPECT_EQ(FormatSingleNumber(1.0005f, 3), "1.001");
    EXPECT_EQ(FormatSingleNumber(0.9995f, 3), "1");
    EXPECT_EQ(FormatSingleNumber(1.63835f, 3), "1.638");
    EXPECT_EQ(FormatSingleNumber(327.67f, 3), "327.67");
    EXPECT_EQ(FormatSingleNumber(0.1f, 3), "0.1");
    EXPECT_EQ(FormatSingleNumber(-2.5f, 2), "-2.5");
    EXPECT_EQ(FormatSingleNumber(-0.001f, 2), "0");
    EXPECT_EQ(FormatSingleNumber(0.0f, 2), "0");
}

struct ReadoutCase {
    float periodUs;
    int32_t count;
    bool withFrequency;
    const char *text;
};

class UpdateReadoutsTest : public ::testing::TestWithParam<ReadoutCase> {};

TEST_P(UpdateReadoutsTest, Text)
{
    const ReadoutCase &c = GetParam();
    EXPECT_EQ(UpdateReadoutsText(c.periodUs, c.count, c.withFrequency), QString::fromLatin1(c.text))
        << c.periodUs << " us x " << c.count;
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, UpdateReadoutsTest,
    ::testing::Values(ReadoutCase{0.05f, 70, true, "3.5us    285.714kHz"},
                      ReadoutCase{0.05f, 30, true, "1.5us    0.667MHz"},
                      ReadoutCase{0.05f, -70, true, "-3.5us    285.714kHz"},
                      ReadoutCase{0.1f, 15000, true, "1.5ms    666.667Hz"},
                      ReadoutCase{100.0f, 15000, true, "1.5s    0.667Hz"},
                      // Start-up: cursors at 50 and 100 at 20 MHz.
                      ReadoutCase{0.05f, 50, true, "2.5us    400kHz"},
                      // Measurement lengths (no frequency).
                      ReadoutCase{0.05f, 32767, false, "1.638ms"},
                      ReadoutCase{10.0f, 32767, false, "327.67ms"},
                      ReadoutCase{10000.0f, 16383, false, "163.83s"}));

INSTANTIATE_TEST_SUITE_P(
    Bands, UpdateReadoutsTest,
    ::testing::Values(
        // Exactly 2 us takes the kHz row, just below it the MHz row.
        ReadoutCase{0.05f, 40, true, "2us    500kHz"}, ReadoutCase{0.05f, 39, true, "1.95us    0.513MHz"},
        ReadoutCase{1.0f, 1, true, "1us    1MHz"}, ReadoutCase{0.05f, 1, true, "0.05us    20MHz"},
        // 999 us is still microseconds; above it milliseconds.
        ReadoutCase{1.0f, 999, true, "999us    1.001kHz"},
        ReadoutCase{0.5f, 1999, true, "1ms    1.001KHz"},
        // Exactly 1000 us: "ms" band, "KHz" row, frequency 1.
        ReadoutCase{0.05f, 20000, true, "1ms    1KHz"}, ReadoutCase{1.0f, 1000, true, "1ms    1KHz"},
        ReadoutCase{1.0f, 1001, true, "1.001ms    999.001Hz"},
        // 1000.5 us: the float 1.0005 ms prints rounded up.
        ReadoutCase{0.05f, 20010, true, "1.001ms    999.5Hz"},
        ReadoutCase{1.0f, 999999, true, "999.999ms    1Hz"},
        ReadoutCase{1.0f, 1000000, true, "1s    1Hz"},
        ReadoutCase{0.1f, -15000, true, "-1.5ms    666.667Hz"},
        ReadoutCase{100.0f, -15000, true, "-1.5s    0.667Hz"},
        ReadoutCase{10000.0f, 32767, true, "327.67s    0.003Hz"}));

INSTANTIATE_TEST_SUITE_P(
    NoFrequency, UpdateReadoutsTest,
    ::testing::Values(ReadoutCase{0.05f, 0, true, "0us"}, ReadoutCase{0.05f, 0, false, "0us"},
                      ReadoutCase{0.05f, 70, false, "3.5us"}, ReadoutCase{0.05f, -70, false, "-3.5us"},
                      ReadoutCase{100.0f, 15000, false, "1.5s"},
                      // Before the first rate selection the period is 0.
                      ReadoutCase{0.0f, 50, true, "0us"}));

TEST(UpdateReadouts, ExtremeCountsDoNotBreakTheText)
{
    EXPECT_EQ(UpdateReadoutsText(10000.0f, std::numeric_limits<int32_t>::max(), false), "21474836.48s");
    EXPECT_EQ(UpdateReadoutsText(0.05f, std::numeric_limits<int32_t>::min(), false), "-107.374s");
}

struct VoltageCase {
    float y4, y5, scale;
    const char *text;
};

class VoltageTextTest : public ::testing::TestWithParam<VoltageCase> {};

TEST_P(VoltageTextTest, Text)
{
    const VoltageCase &c = GetParam();
    EXPECT_EQ(VoltageText(c.y4, c.y5, c.scale), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cursors, VoltageTextTest,
    ::testing::Values(VoltageCase{405, 335, 1, "2.5V"},   // start-up positions
                      VoltageCase{440, 300, 2, "10V"},    // full band at x2
                      VoltageCase{300, 440, 2, "-10V"},   // measuring cursor below
                      VoltageCase{335, 335, 1, "0V"},     VoltageCase{405, 335, 0.2f, "0.5V"},
                      VoltageCase{370, 300, 10, "25V"},   VoltageCase{301, 300, 1, "0.036V"},
                      VoltageCase{300, 301, 1, "-0.036V"}, VoltageCase{440, 300, 4, "20V"}));

struct LevelCase {
    int value;
    float scale;
    const char *text;
};

class TriggerLevelTextTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(TriggerLevelTextTest, Text)
{
    const LevelCase &c = GetParam();
    EXPECT_EQ(TriggerLevelText(c.value, c.scale), QString::fromLatin1(c.text)) << c.value << " x" << c.scale;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, TriggerLevelTextTest,
    ::testing::Values(LevelCase{0, 1, "5V"}, LevelCase{0, 10, "50V"}, LevelCase{255, 1, "0V"},
                      LevelCase{255, 10, "0V"}, LevelCase{127, 0.2f, "0.5V"}, LevelCase{127, 1, "2.51V"},
                      LevelCase{127, 2, "5.02V"}, LevelCase{127, 4, "10.04V"}, LevelCase{127, 10, "25.1V"},
                      LevelCase{254, 1, "0.02V"}, LevelCase{128, 1, "2.49V"}));

} // namespace
