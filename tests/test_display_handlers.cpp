// The display handlers on a started window: redraw, picture pixels, cursor
// drags (by handler call and by real mouse events), magnification and the
// analog scale / trigger level.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <ostream>
#include <vector>

#include "app/form1.h"
#include "app/picture_box.h"
#include "support/form_fixture.h"

namespace {

const QColor kBlack(0, 0, 0);

struct Record {
    int32_t time;
    int32_t levels;
    int32_t analog;
};

// Puts a capture into the store as the receive handler leaves it and redraws.
void PutCapture(Form1 &form, const std::vector<Record> &records, bool analog = false)
{
    const int32_t last = static_cast<int32_t>(records.size()) - 1;
    form.state.SampleData.create(analog ? 3 : 2, last);
    for (int32_t i = 0; i <= last; ++i) {
        form.state.SampleData.set(0, i, records[size_t(i)].time);
        form.state.SampleData.set(1, i, records[size_t(i)].levels);
        if (analog)
            form.state.SampleData.set(2, i, records[size_t(i)].analog);
    }
    form.state.LastSampleIndex = last;
    form.HScroll1_Change();
}

std::vector<QLineF> DrawnBlack(const Form1 &form)
{
    const std::vector<QLineF> *lines = form.Picture1->drawnLines(kBlack);
    return lines ? *lines : std::vector<QLineF>();
}

const LineObject &Line(const Form1 &form, int id) { return form.Picture1->line(id); }

void SelectAnalog(Form1 &form)
{
    form.Option4[1]->click();
    ASSERT_TRUE(form.isAnalogMode());
}

void EnableRunReadSave(Form1 &form)
{
    form.Command1[1]->setEnabled(true);
    form.Command1[2]->setEnabled(true);
    form.Command2[1]->setEnabled(true);
}

// ------------------------------------------------------------------ redraw

TEST(DisplayRedraw, DrawsEveryChannelAsStepsWithEdges)
{
    auto form = MakeDetachedForm();
    // "Mag x1", view start 0: time stamp t is at screen x = t + 40.
    PutCapture(*form, {{0, 0x00, 0}, {10, 0xFF, 0}, {30, 0x01, 0}});

    std::vector<QLineF> expected;
    for (int k = 0; k < 8; ++k) { // entry 0 -> 1: all low, then up
        const double low = 36 * k + 35, high = 36 * k + 7;
        expected.emplace_back(40, low, 50, low);
        expected.emplace_back(50, low, 50, high);
    }
    for (int k = 0; k < 8; ++k) { // entry 1 -> 2: all high, only CH1 stays high
        const double high = 36 * k + 7, next = k == 0 ? high : 36 * k + 35;
        expected.emplace_back(50, high, 70, high);
        expected.emplace_back(70, high, 70, next);
    }
    EXPECT_EQ(DrawnBlack(*form), expected);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 32u);
    // CH8 at entry 1 -> 2, spelled out.
    EXPECT_EQ(DrawnBlack(*form)[30], QLineF(50, 259, 70, 259));
    EXPECT_EQ(DrawnBlack(*form)[31], QLineF(70, 259, 70, 287));
}

TEST(DisplayRedraw, AnalogModeAddsTheAnalogTrace)
{
    auto form = MakeDetachedForm();
    SelectAnalog(*form);
    PutCapture(*form, {{0, 0, 0}, {20, 0, 255}}, true);
    const std::vector<QLineF> lines = DrawnBlack(*form);
    ASSERT_EQ(lines.size(), 18u); // 16 logic lines, then hold and ramp
    // Value 0 holds at y 440 up to one period before entry 1, then ramps to 300.
    EXPECT_EQ(lines[16], QLineF(40, 440, 59, 440));
    EXPECT_EQ(lines[17], QLineF(59, 440, 60, 300));
}

TEST(DisplayRedraw, PlacesOrHidesTheTimeCursorsAndShowsTheViewStart)
{
    auto form = MakeDetachedForm();
    PutCapture(*form, {{0, 0x00, 0}, {10, 0xFF, 0}, {30, 0x01, 0}});
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 90);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 140);
    EXPECT_EQ(form->Label6->text(), "0");

    struct Case {
        int vscroll1; // magnification step
        int viewStart;
        bool line1Visible;
        float line1X;
        bool line2Visible;
        float line2X;
    };
    // Cursors at 50 (reference) and 100 (measuring).
    const Case cases[] = {
        {3, 60, false, 0, true, 80},     // reference left of the view: hidden
        {3, 50, true, 40, true, 90},     // equal to the view start: at x = 40
        {3, 101, false, 0, false, 0},    // both hidden
        {0, 40, true, 140, true, 640},   // "Mag x10": d * 10 + 40
        {0, 20, true, 340, true, 840},   // right of the field: shown beyond 740
        {6, 30, true, 42, true, 47},     // "Mag 1/10"
    };
    for (const Case &c : cases) {
        form->VScroll1->setValue(c.vscroll1);
        form->HScroll1->setValue(c.viewStart); // runs the redraw
        form->HScroll1_Change();               // and in any case
        SCOPED_TRACE(testing::Message() << "mag step " << c.vscroll1 << " view " << c.viewStart);
        EXPECT_EQ(form->HScroll1->value(), c.viewStart);
        EXPECT_EQ(form->Label6->text(), QString::number(c.viewStart));
        const LineObject &l1 = Line(*form, PictureBox::Line1);
        const LineObject &l2 = Line(*form, PictureBox::Line2);
        EXPECT_EQ(l1.visible, c.line1Visible);
        EXPECT_EQ(l2.visible, c.line2Visible);
        if (c.line1Visible) {
            EXPECT_FLOAT_EQ(l1.x1, c.line1X);
            EXPECT_EQ(l1.x1, l1.x2);
        }
        if (c.line2Visible) {
            EXPECT_FLOAT_EQ(l2.x1, c.line2X);
            EXPECT_EQ(l2.x1, l2.x2);
        }
        // The vertical extent stays that of the layout.
        EXPECT_EQ(l1.y1, 3);
        EXPECT_EQ(l1.y2, 445);
    }
}

TEST(DisplayRedraw, NoCaptureDrawsNothingButStillPlacesTheCursors)
{
    auto form = MakeDetachedForm();
    PutCapture(*form, {{0, 0x00, 0}, {10, 0xFF, 0}, {30, 0x01, 0}});
    ASSERT_GT(form->Picture1->drawnLineCount(), 0u);

    form->state.LastSampleIndex = -1; // the store keeps its values
    form->state.XRefSample = 240;
    form->state.XAxisSample = 99;
    form->HScroll1->setValue(100);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_TRUE(Line(*form, PictureBox::Line1).visible);
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 180);
    EXPECT_FALSE(Line(*form, PictureBox::Line2).visible);
    EXPECT_EQ(form->Label6->text(), "100");

    // A single record has no pair to draw either.
    form->state.LastSampleIndex = 0;
    form->HScroll1->setValue(0);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_TRUE(Line(*form, PictureBox::Line2).visible);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 139);
}

// ------------------------------------------------------------------ pixels

TEST(DisplayPixels, TracesAreBlackOnTheBackgroundAndSurviveCovering)
{
    auto form = MakeDetachedForm();
    // Cursors out of the way of the checked pixels.
    form->state.XRefSample = 600;
    form->state.XAxisSample = 650;
    // CH1: high from x 40 to 140, edge down at 140, low to 340, edge up at 340.
    PutCapture(*form, {{0, 0x01, 0}, {100, 0x00, 0}, {300, 0x01, 0}});
    DeliverEvents();

    const QImage before = form->Picture1->grab().toImage();
    ASSERT_EQ(before.size(), QSize(741, 465));
    const QRgb background = form->Picture1->palette().color(QPalette::ToolTipBase).rgb();
    const QRgb black = qRgb(0, 0, 0);
    ASSERT_NE(background, black);

    struct Px {
        int x, y;
        bool ink;
    };
    const Px pixels[] = {
        {80, 7, true},    // CH1 high level
        {139, 7, true},   // its end
        {140, 20, true},  // the falling edge
        {200, 35, true},  // CH1 low level
        {340, 20, true},  // the rising edge
        {80, 71, true},   // CH2 low all the way
        {80, 20, false},  // inside the CH1 band, between the levels
        {200, 7, false},  // where CH1 is low
        {400, 20, false}, // right of the last entry
        {400, 7, false},
        {300, 350, false}, // analog band, nothing drawn in Logic mode
    };
    for (const Px &p : pixels) {
        const QRgb got = before.pixel(p.x, p.y) & 0xFFFFFF;
        EXPECT_EQ(got, (p.ink ? black : background) & 0xFFFFFF) << "pixel " << p.x << "," << p.y;
    }

    // Covered by another window and uncovered, then hidden and shown again.
    QWidget cover;
    cover.setGeometry(form->geometry());
    cover.show();
    cover.raise();
    DeliverEvents();
    cover.hide();
    DeliverEvents();
    form->hide();
    DeliverEvents();
    form->show();
    DeliverEvents();
    const QImage after = form->Picture1->grab().toImage();
    EXPECT_EQ(after, before);
}

// ------------------------------------------------------------------ cursors

QString Readout410() { return QStringLiteral("20.5us    48.78kHz"); } // 410 * 0.05 us

TEST(DisplayCursors, LeftPressInTheTimeBandMovesTheMeasuringCursor)
{
    auto form = MakeDetachedForm();
    form->Picture1_MouseDown(1, 0, 500, 100);
    EXPECT_EQ(form->state.DragTarget, "X_Axis");
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 500);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x2, 500);
    EXPECT_TRUE(Line(*form, PictureBox::Line2).visible);
    EXPECT_EQ(form->state.XAxisSample, 460);
    EXPECT_EQ(form->state.XRefSample, 50);
    EXPECT_EQ(form->Label2->text(), Readout410());

    // Dragging on follows the pointer; the reference stays.
    form->Picture1_MouseMove(1, 0, 60, 280);
    EXPECT_EQ(form->state.XAxisSample, 20);
    EXPECT_EQ(form->Label2->text(), "-1.5us    0.667MHz");
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 90);

    form->Picture1_MouseUp(1, 0, 60, 280);
    EXPECT_EQ(form->state.DragTarget, "NON");
    form->Picture1_MouseMove(0, 0, 300, 100); // a plain move changes nothing now
    EXPECT_EQ(form->state.XAxisSample, 20);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 60);
}

TEST(DisplayCursors, RealMousePressAndReleaseOverThePicture)
{
    auto form = MakeDetachedForm();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(500, 100));
    EXPECT_EQ(form->state.DragTarget, "X_Axis");
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 500);
    EXPECT_EQ(form->state.XAxisSample, 460);
    EXPECT_EQ(form->Label2->text(), Readout410());
    QTest::mouseMove(form->Picture1, QPoint(520, 150)); // dragging
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 520);
    EXPECT_EQ(form->state.XAxisSample, 480);
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(500, 100));
    EXPECT_EQ(form->state.DragTarget, "NON");
    QTest::mouseMove(form->Picture1, QPoint(600, 150)); // released: nothing follows
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 520);

    QTest::mousePress(form->Picture1, Qt::RightButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(form->state.DragTarget, "X_Ref");
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 300);
    EXPECT_EQ(form->state.XRefSample, 260);
    QTest::mouseRelease(form->Picture1, Qt::RightButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(form->state.DragTarget, "NON");

    // Shift held, or the middle button: nothing is taken, nothing moves.
    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, QPoint(600, 100));
    EXPECT_EQ(form->state.DragTarget, "NON");
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::ShiftModifier, QPoint(600, 100));
    QTest::mousePress(form->Picture1, Qt::MiddleButton, Qt::NoModifier, QPoint(600, 100));
    EXPECT_EQ(form->state.DragTarget, "NON");
    QTest::mouseRelease(form->Picture1, Qt::MiddleButton, Qt::NoModifier, QPoint(600, 100));
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 520);
    EXPECT_EQ(form->state.XAxisSample, 480);

    // A left press in the analog band takes the measuring voltage cursor.
    QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(400, 370));
    EXPECT_EQ(form->state.DragTarget, "Y_Axis");
    EXPECT_EQ(Line(*form, PictureBox::Line5).y1, 370);
    EXPECT_EQ(form->Label4->text(), "1.25V");
    QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(400, 370));
    EXPECT_EQ(form->state.DragTarget, "NON");
}

struct PressCase {
    const char *what;
    int button, shift;
    float x, y;
    const char *target;
};

void PrintTo(const PressCase &c, std::ostream *os) { *os << c.what; }

class DisplayCursorPress : public ::testing::TestWithParam<PressCase> {};

TEST_P(DisplayCursorPress, SelectsTheCursorOfTheBandAndButton)
{
    const PressCase &c = GetParam();
    auto form = MakeDetachedForm();
    form->state.DragTarget = QStringLiteral("X_Ref"); // whatever was there before
    form->Picture1_MouseDown(c.button, c.shift, c.x, c.y);
    EXPECT_EQ(form->state.DragTarget, QString::fromLatin1(c.target)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DisplayCursorPress,
    ::testing::Values(PressCase{"left, time band top", 1, 0, 500, 3, "X_Axis"},
                      PressCase{"left, time band bottom", 1, 0, 500, 290, "X_Axis"},
                      PressCase{"right, time band", 2, 0, 500, 100, "X_Ref"},
                      PressCase{"left, analog band top", 1, 0, 500, 300, "Y_Axis"},
                      PressCase{"right, analog band bottom", 2, 0, 500, 440, "Y_Ref"},
                      PressCase{"between the bands", 1, 0, 500, 295, "NON"},
                      PressCase{"just above the time band", 1, 0, 500, 2.5f, "NON"},
                      PressCase{"below the analog band", 2, 0, 500, 441, "NON"},
                      PressCase{"shift-left", 1, 1, 500, 100, "NON"},
                      PressCase{"ctrl-right", 2, 2, 500, 350, "NON"},
                      PressCase{"middle", 4, 0, 500, 100, "NON"},
                      PressCase{"left of the field still grabs", 1, 0, 20, 100, "X_Axis"}));

TEST(DisplayCursors, RejectedPressesMoveNothing)
{
    auto form = MakeDetachedForm();
    const QString label2 = form->Label2->text();
    form->Picture1_MouseDown(1, 1, 500, 100);  // shift-left
    form->Picture1_MouseDown(4, 0, 500, 100);  // middle
    form->Picture1_MouseDown(1, 0, 500, 295);  // between the bands
    form->Picture1_MouseMove(1, 0, 600, 350);  // dragging nothing
    EXPECT_EQ(form->state.DragTarget, "NON");
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 140);
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 90);
    EXPECT_EQ(Line(*form, PictureBox::Line5).y1, 335);
    EXPECT_EQ(Line(*form, PictureBox::Line4).y1, 405);
    EXPECT_EQ(form->state.XAxisSample, 100);
    EXPECT_EQ(form->Label2->text(), label2);
}

TEST(DisplayCursors, DragStartedLeftOfTheFieldWaitsForTheField)
{
    auto form = MakeDetachedForm();
    form->Picture1_MouseDown(1, 0, 20, 100);
    EXPECT_EQ(form->state.DragTarget, "X_Axis");
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 140);
    EXPECT_EQ(form->state.XAxisSample, 100);
    form->Picture1_MouseMove(1, 0, 39, 100);
    EXPECT_EQ(form->state.XAxisSample, 100);
    form->Picture1_MouseMove(1, 0, 40, 100);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 40);
    EXPECT_EQ(form->state.XAxisSample, 0);
    form->Picture1_MouseMove(1, 0, 741, 100); // right of the field: stays
    EXPECT_EQ(form->state.XAxisSample, 0);
    form->Picture1_MouseMove(1, 0, 740, 460); // the time band is not checked on a move
    EXPECT_EQ(form->state.XAxisSample, 700);

    // The same for a voltage cursor.
    form->Picture1_MouseUp(1, 0, 0, 0);
    form->Picture1_MouseDown(2, 0, 20, 350);
    EXPECT_EQ(form->state.DragTarget, "Y_Ref");
    EXPECT_EQ(Line(*form, PictureBox::Line4).y1, 405);
    form->Picture1_MouseMove(2, 0, 40, 350);
    EXPECT_EQ(Line(*form, PictureBox::Line4).y1, 350);
    form->Picture1_MouseMove(2, 0, 100, 299); // above the band: stays
    EXPECT_EQ(Line(*form, PictureBox::Line4).y1, 350);
}

struct DragCase {
    int vscroll1;
    int viewStart;
    float x;
    int32_t sample;
};

void PrintTo(const DragCase &c, std::ostream *os)
{
    *os << "mag step " << c.vscroll1 << ", view " << c.viewStart << ", x " << c.x;
}

class DisplayCursorScaled : public ::testing::TestWithParam<DragCase> {};

TEST_P(DisplayCursorScaled, ReferenceCursorSampleFollowsMagnificationAndView)
{
    const DragCase &c = GetParam();
    auto form = MakeDetachedForm();
    form->VScroll1->setValue(c.vscroll1);
    form->HScroll1->setValue(c.viewStart);
    ASSERT_EQ(form->HScroll1->value(), c.viewStart);
    form->Picture1_MouseDown(2, 0, c.x, 100);
    EXPECT_EQ(form->state.DragTarget, "X_Ref");
    EXPECT_EQ(form->state.XRefSample, c.sample);
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, c.x);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, DisplayCursorScaled,
                         ::testing::Values(DragCase{4, 1000, 41, 1002},   // "Mag 1/2": 1 / 0.5 + 1000
                                           DragCase{2, 1000, 41, 1000},   // "Mag x2": 1000.5, ties to even
                                           DragCase{2, 1000, 43, 1002},   // 1001.5, ties to even
                                           DragCase{0, 0, 740, 70},       // "Mag x10": 700 / 10
                                           DragCase{6, 25867, 740, 32867})); // beyond the slider maximum

TEST(DisplayCursors, VoltageCursorsReadTheRangeMultiplier)
{
    auto form = MakeDetachedForm();
    SelectAnalog(*form);
    ASSERT_TRUE(form->Combo2->isEnabled());
    form->Combo2->setCurrentIndex(2); // "   x2"
    ASSERT_EQ(form->state.VoltageScale, 2.0f);

    form->Picture1_MouseDown(2, 0, 100, 440);
    EXPECT_EQ(form->state.DragTarget, "Y_Ref");
    form->Picture1_MouseUp(2, 0, 100, 440);
    form->Picture1_MouseDown(1, 0, 100, 300);
    EXPECT_EQ(form->state.DragTarget, "Y_Axis");
    EXPECT_EQ(Line(*form, PictureBox::Line4).y1, 440);
    EXPECT_EQ(Line(*form, PictureBox::Line5).y1, 300);
    EXPECT_EQ(Line(*form, PictureBox::Line5).y2, 300);
    EXPECT_EQ(form->Label4->text(), "10V");

    // The measuring cursor below the reference one reads negative.
    form->Picture1_MouseMove(1, 0, 100, 440);
    EXPECT_EQ(form->Label4->text(), "0V");
    form->Picture1_MouseUp(1, 0, 100, 440);
    form->Picture1_MouseDown(2, 0, 700, 370);
    EXPECT_EQ(form->Label4->text(), "-5V");
    form->Picture1_MouseMove(2, 0, 700, 300);
    EXPECT_EQ(form->Label4->text(), "-10V");
    form->Picture1_MouseMove(2, 0, 700, 405);
    EXPECT_EQ(form->Label4->text(), "-2.5V");
    // Dragging a voltage cursor leaves the time cursors alone.
    EXPECT_EQ(form->state.XAxisSample, 100);
    EXPECT_EQ(form->state.XRefSample, 50);
}

// ------------------------------------------------------------------ magnification

struct MagRow {
    int vscroll1;
    const char16_t *label;
    float magnification;
    int maxLogic, maxAnalog, largeStep, smallStep;
};

const MagRow kMagRows[] = {
    {0, u"Mag \u00D710", 10.0f, 32698, 16314, 1000, 10}, {1, u"Mag \u00D75", 5.0f, 32629, 16245, 500, 10},
    {2, u"Mag \u00D72", 2.0f, 32422, 16038, 200, 10},    {3, u"Mag \u00D71", 1.0f, 32077, 15693, 100, 10},
    {4, u"Mag 1/2", 0.5f, 31387, 15003, 50, 5},          {5, u"Mag 1/5", 0.2f, 29317, 12933, 20, 2},
    {6, u"Mag 1/10", 0.1f, 25867, 9483, 10, 1},
};

TEST(DisplayMagnification, StepsSetTheTextAndTheViewRangeInBothModes)
{
    auto form = MakeDetachedForm();
    EXPECT_EQ(form->Label1->text(), QString::fromUtf16(u"Mag \u00D71"));
    EXPECT_EQ(form->HScroll1->maximum(), 32077);
    EXPECT_EQ(form->HScroll1->minimum(), 0);
    for (bool analog : {false, true}) {
        if (analog)
            SelectAnalog(*form);
        for (const MagRow &r : kMagRows) {
            form->VScroll1->setValue(r.vscroll1);
            SCOPED_TRACE(testing::Message() << (analog ? "Analog " : "Logic ") << r.vscroll1);
            EXPECT_EQ(form->Label1->text(), QString::fromUtf16(r.label));
            EXPECT_EQ(form->state.Magnification, r.magnification);
            EXPECT_EQ(form->HScroll1->maximum(), analog ? r.maxAnalog : r.maxLogic);
            EXPECT_EQ(form->HScroll1->pageStep(), r.largeStep);
            EXPECT_EQ(form->HScroll1->singleStep(), r.smallStep);
        }
    }
}

TEST(DisplayMagnification, VisibleReferenceCursorKeepsItsPlaceOnTheScreen)
{
    auto form = MakeDetachedForm();
    ASSERT_EQ(form->HScroll1->value(), 0);
    form->VScroll1->setValue(2); // "Mag x2"
    EXPECT_EQ(form->HScroll1->value(), 25);
    EXPECT_EQ(form->Label6->text(), "25");
    EXPECT_TRUE(Line(*form, PictureBox::Line1).visible);
    EXPECT_EQ(Line(*form, PictureBox::Line1).x1, 90);
    EXPECT_EQ(Line(*form, PictureBox::Line2).x1, 190);

    // Zooming out far: the start would be negative and becomes 0.
    form->VScroll1->setValue(6);
    EXPECT_EQ(form->HScroll1->value(), 0);
    EXPECT_FLOAT_EQ(Line(*form, PictureBox::Line1).x1, 45);
}

TEST(DisplayMagnification, HiddenReferenceCursorKeepsTheRelativePosition)
{
    auto form = MakeDetachedForm();
    form->HScroll1->setValue(16000);
    ASSERT_FALSE(Line(*form, PictureBox::Line1).visible);
    form->VScroll1->setValue(6); // "Mag 1/10", maximum 25867
    EXPECT_EQ(form->HScroll1->value(), 12902);
    EXPECT_EQ(form->Label6->text(), "12902");
}

TEST(DisplayMagnification, StartBeyondTheNewMaximumIsClampedToIt)
{
    struct Case {
        int fromStep, toStep;
        int expectedMax;
    };
    // The reference cursor is dragged to the right edge at the largest view
    // start, so holding it in place asks for a start beyond the new range.
    const Case cases[] = {{6, 0, 32698}, {3, 2, 32422}, {3, 0, 32698}};
    for (const Case &c : cases) {
        auto form = MakeDetachedForm();
        form->VScroll1->setValue(c.fromStep);
        form->HScroll1->setValue(form->HScroll1->maximum());
        form->Picture1_MouseDown(2, 0, 740, 100);
        form->Picture1_MouseUp(2, 0, 740, 100);
        ASSERT_TRUE(Line(*form, PictureBox::Line1).visible);
        form->VScroll1->setValue(c.toStep);
        SCOPED_TRACE(testing::Message() << c.fromStep << " -> " << c.toStep);
        EXPECT_EQ(form->HScroll1->maximum(), c.expectedMax);
        EXPECT_EQ(form->HScroll1->value(), c.expectedMax);
        EXPECT_EQ(form->Label6->text(), QString::number(c.expectedMax));
    }
}

TEST(DisplayMagnification, AnalogViewStartAtOneTenthNeverExceedsItsMaximum)
{
    auto form = MakeDetachedForm();
    SelectAnalog(*form);
    // Hidden reference cursor at the largest "Mag x1" start. The new maximum
    // cuts the start to 9483 first, and that value is the one scaled:
    // 9483 * 9483 / 15693 = 5730.4.
    form->HScroll1->setValue(form->HScroll1->maximum());
    ASSERT_EQ(form->HScroll1->value(), 15693);
    form->VScroll1->setValue(6);
    EXPECT_EQ(form->HScroll1->value(), 5730);
    form->HScroll1->setValue(20000);
    EXPECT_EQ(form->HScroll1->value(), 9483);
    form->HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form->HScroll1->value(), 9483);

    // Visible reference cursor at the right edge of a "Mag x1" view (16393).
    // The cut to the new maximum redraws first and moves the line to
    // x = 6910 * 0.1 + 40 = 731, which is the x then held: 16393 - 6910.
    form->VScroll1->setValue(3);
    form->HScroll1->setValue(15693);
    form->Picture1_MouseDown(2, 0, 740, 100);
    form->Picture1_MouseUp(2, 0, 740, 100);
    ASSERT_EQ(form->state.XRefSample, 16393);
    form->VScroll1->setValue(6);
    EXPECT_EQ(form->HScroll1->value(), 9483);
    EXPECT_FLOAT_EQ(Line(*form, PictureBox::Line1).x1, 731);
}

TEST(DisplayMagnification, UserScrollingRedrawsAtTheNewStart)
{
    auto form = MakeDetachedForm();
    PutCapture(*form, {{0, 0x01, 0}, {100, 0x00, 0}, {300, 0x01, 0}});
    form->HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); // 10 at "Mag x1"
    EXPECT_EQ(form->HScroll1->value(), 10);
    EXPECT_EQ(form->Label6->text(), "10");
    const std::vector<QLineF> lines = DrawnBlack(*form);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), QLineF(40, 7, 130, 7)); // CH1 from the left edge to 100 - 10
}

// ------------------------------------------------------------------ analog scale

struct LevelCase {
    int combo2;
    int vscroll2;
    const char *label7;
};

void PrintTo(const LevelCase &c, std::ostream *os)
{
    *os << "range " << c.combo2 << ", VScroll2 " << c.vscroll2;
}

class DisplayTriggerLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(DisplayTriggerLevel, LabelShowsTheLevelInVolts)
{
    const LevelCase &c = GetParam();
    auto form = MakeDetachedForm();
    form->Combo2->setCurrentIndex(c.combo2);
    form->VScroll2->setValue(c.vscroll2);
    EXPECT_EQ(form->Label7->text(), QString::fromLatin1(c.label7));
}

INSTANTIATE_TEST_SUITE_P(Table, DisplayTriggerLevel,
                         ::testing::Values(LevelCase{1, 0, "5V"}, LevelCase{4, 0, "50V"},
                                           LevelCase{1, 255, "0V"}, LevelCase{4, 255, "0V"},
                                           LevelCase{0, 127, "0.5V"}, LevelCase{1, 127, "2.51V"},
                                           LevelCase{3, 127, "10.04V"}, LevelCase{2, 0, "10V"}));

TEST(DisplayAnalogScale, StartUpShowsScaleOne)
{
    auto form = MakeDetachedForm();
    EXPECT_EQ(form->Combo2->currentIndex(), 1);
    EXPECT_EQ(form->state.VoltageScale, 1.0f);
    EXPECT_EQ(form->Label4->text(), "2.5V");
    EXPECT_EQ(form->Label7->text(), "2.51V");
}

TEST(DisplayAnalogScale, ScaleChangeUpdatesReadoutsAndDisablesButOnlyThat)
{
    auto form = MakeDetachedForm();
    SelectAnalog(*form);
    PutCapture(*form, {{0, 0x0F, 10}, {20, 0xF0, 200}, {50, 0x0F, 30}}, true);
    const size_t drawn = form->Picture1->drawnLineCount();
    ASSERT_GT(drawn, 0u);
    const std::vector<QLineF> lines = DrawnBlack(*form);
    const LineObject before[4] = {Line(*form, PictureBox::Line1), Line(*form, PictureBox::Line2),
                                  Line(*form, PictureBox::Line4), Line(*form, PictureBox::Line5)};

    for (int index : {4, 0, 2}) {
        EnableRunReadSave(*form);
        form->Combo2->setCurrentIndex(index);
        SCOPED_TRACE(index);
        EXPECT_FALSE(form->Command1[1]->isEnabled());
        EXPECT_FALSE(form->Command1[2]->isEnabled());
        EXPECT_FALSE(form->Command2[1]->isEnabled());
        EXPECT_EQ(form->Picture1->drawnLineCount(), drawn);
        EXPECT_EQ(DrawnBlack(*form), lines);
        const LineObject after[4] = {Line(*form, PictureBox::Line1), Line(*form, PictureBox::Line2),
                                     Line(*form, PictureBox::Line4), Line(*form, PictureBox::Line5)};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(after[i].x1, before[i].x1);
            EXPECT_EQ(after[i].y1, before[i].y1);
            EXPECT_EQ(after[i].visible, before[i].visible);
        }
    }
    EXPECT_EQ(form->state.VoltageScale, 2.0f);
    EXPECT_EQ(form->Label4->text(), "5V");
    EXPECT_EQ(form->Label7->text(), "5.02V");

    // The level alone disables them as well.
    EnableRunReadSave(*form);
    form->VScroll2->setValue(0);
    EXPECT_FALSE(form->Command1[1]->isEnabled());
    EXPECT_FALSE(form->Command1[2]->isEnabled());
    EXPECT_FALSE(form->Command2[1]->isEnabled());
    EXPECT_EQ(form->Picture1->drawnLineCount(), drawn);
}

} // namespace
