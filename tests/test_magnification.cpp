// Magnification table, scroll ranges and view-start carry-over.
#include <gtest/gtest.h>

#include "display/magnification.h"

namespace {

struct MagRow {
    int vscroll1;
    const char16_t *label;
    float magnification;
    int maxLogic;  // slider maximum 32767
    int maxAnalog; // slider maximum 16383
    int largeStep;
    int smallStep;
};

const MagRow kRows[] = {
    {0, u"Mag \u00D710", 10.0f, 32698, 16314, 1000, 10},
    {1, u"Mag \u00D75", 5.0f, 32629, 16245, 500, 10},
    {2, u"Mag \u00D72", 2.0f, 32422, 16038, 200, 10},
    {3, u"Mag \u00D71", 1.0f, 32077, 15693, 100, 10},
    {4, u"Mag 1/2", 0.5f, 31387, 15003, 50, 5},
    {5, u"Mag 1/5", 0.2f, 29317, 12933, 20, 2},
    {6, u"Mag 1/10", 0.1f, 25867, 9483, 10, 1},
};

class MagnificationRowTest : public ::testing::TestWithParam<MagRow> {};

TEST_P(MagnificationRowTest, LookupAndScrollRange)
{
    const MagRow &row = GetParam();
    MagnificationStep step{QStringLiteral("unchanged"), -1.0f};
    ASSERT_TRUE(LookupMagnification(row.vscroll1, &step));
    EXPECT_EQ(step.label, QString::fromUtf16(row.label));
    EXPECT_EQ(step.magnification, row.magnification);

    EXPECT_EQ(HScrollMaximumFor(32767, step.magnification), row.maxLogic);
    EXPECT_EQ(HScrollMaximumFor(16383, step.magnification), row.maxAnalog);
    EXPECT_EQ(HScrollLargeStepFor(step.magnification), row.largeStep);
    EXPECT_EQ(HScrollSmallStepFor(step.magnification), row.smallStep);
}

INSTANTIATE_TEST_SUITE_P(AllSteps, MagnificationRowTest, ::testing::ValuesIn(kRows));

TEST(Magnification, ValuesOutsideTheTableChangeNothing)
{
    for (int value : {-1, 7, 100, -32768}) {
        MagnificationStep step{QStringLiteral("keep"), 3.0f};
        EXPECT_FALSE(LookupMagnification(value, &step)) << value;
        EXPECT_EQ(step.label, "keep");
        EXPECT_EQ(step.magnification, 3.0f);
    }
}

TEST(Magnification, StartUpHoldsReferenceCursorAtNinety)
{
    // Line1 at x = 90 for time stamp 50 at view start 0, "Mag x1".
    EXPECT_EQ(ViewStartHoldingCursor(50, 90.0f, 1.0f), 0);
    // Going to "Mag x2" keeps the line at x = 90: 50 - 50 / 2.
    EXPECT_EQ(ViewStartHoldingCursor(50, 90.0f, 2.0f), 25);
    EXPECT_EQ(CursorSampleFromX(90.0, 2.0f, 25), 50);
}

struct HoldCase {
    int32_t xRef;
    float lineX;
    float magnification;
    int32_t start;
};

class ViewStartHoldingCursorTest : public ::testing::TestWithParam<HoldCase> {};

TEST_P(ViewStartHoldingCursorTest, Start)
{
    const HoldCase &c = GetParam();
    EXPECT_EQ(ViewStartHoldingCursor(c.xRef, c.lineX, c.magnification), c.start)
        << c.xRef << " at x " << c.lineX << " mag " << c.magnification;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewStartHoldingCursorTest,
    ::testing::Values(HoldCase{1000, 140.0f, 0.1f, 0},      // 1000 - 999.99998 (0.1f is a bit above 0.1)
                      HoldCase{10, 140.0f, 0.5f, 0},        // 10 - 200: negative becomes 0
                      HoldCase{3, 41.0f, 2.0f, 2},          // 2.5 -> 2 (ties to even)
                      HoldCase{4, 41.0f, 2.0f, 4},          // 3.5 -> 4
                      HoldCase{5000, 740.0f, 10.0f, 4930},  // right edge at x10
                      HoldCase{20000, 440.0f, 0.1f, 16000}, // 20000 - 400 / 0.1
                      // No upper limit here: the caller clamps to the maximum.
                      HoldCase{32767, 40.0f, 10.0f, 32767}, HoldCase{40000, 90.0f, 1.0f, 39950}));

TEST(ViewStartScaled, KeepsRelativePosition)
{
    EXPECT_EQ(ViewStartScaled(16000, 25867, 32077), 12902); // 12902.45
    EXPECT_EQ(ViewStartScaled(25867, 25867, 32077), 20859); // value already cut by the new maximum
    EXPECT_EQ(ViewStartScaled(0, 25867, 32077), 0);
    EXPECT_EQ(ViewStartScaled(32077, 32698, 32077), 32698);
    EXPECT_EQ(ViewStartScaled(9483, 15693, 9483), 15693);
    // Ties to even on the quotient.
    EXPECT_EQ(ViewStartScaled(1, 5, 2), 2);
    EXPECT_EQ(ViewStartScaled(3, 5, 2), 8);
    // Largest 16-bit product stays within 32 bits.
    EXPECT_EQ(ViewStartScaled(32767, 32767, 32767), 32767);
}

TEST(ViewStartScaled, EmptyOldRangeKeepsValueInsideNewRange)
{
    EXPECT_EQ(ViewStartScaled(0, 32077, 0), 0);
    EXPECT_EQ(ViewStartScaled(500, 300, 0), 300);
    EXPECT_EQ(ViewStartScaled(-5, 300, 0), 0);
}

struct CursorCase {
    double x;
    float magnification;
    int viewStart;
    int32_t sample;
};

class CursorSampleTest : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorSampleTest, Sample)
{
    const CursorCase &c = GetParam();
    EXPECT_EQ(CursorSampleFromX(c.x, c.magnification, c.viewStart), c.sample)
        << "x " << c.x << " mag " << c.magnification << " v " << c.viewStart;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorSampleTest,
    ::testing::Values(CursorCase{41.0, 0.5f, 1000, 1002},  // Mag 1/2: 1 / 0.5 + 1000
                      CursorCase{41.0, 2.0f, 1000, 1000},  // Mag x2: 1000.5 -> 1000
                      CursorCase{43.0, 2.0f, 1000, 1002},  // 1001.5 -> 1002
                      CursorCase{500.0, 1.0f, 0, 460},     // left press at (500, 100)
                      CursorCase{40.0, 0.1f, 25867, 25867}, CursorCase{740.0, 0.1f, 25867, 32867},
                      CursorCase{740.0, 10.0f, 0, 70}, CursorCase{45.0, 10.0f, 7, 8}, // 7.5 -> 8
                      CursorCase{55.0, 10.0f, 7, 8}));                                  // 8.5 -> 8

} // namespace
