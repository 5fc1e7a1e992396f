// The drawing area paints the retained lines that lie along a pixel row or
// column as merged pixel runs. These tests paint the same content both ways,
// run by run and line by line, and require identical pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QScrollBar>
#include <random>

#include "app/picture_box.h"
#include "support/form_fixture.h"

namespace {

QImage paint(PictureBox &pic, bool merged, QPoint offset = QPoint(), const QRegion &region = QRegion())
{
    pic.setPaintRunsMerged(merged);
    QImage image(pic.size() + QSize(offset.x(), offset.y()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    pic.render(&image, offset, region, QWidget::DrawWindowBackground | QWidget::DrawChildren);
    pic.setPaintRunsMerged(true);
    return image;
}

// First differing pixel, for the failure message.
std::string firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return "sizes differ";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "first difference at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "none";
}

void expectSamePixels(PictureBox &pic, QPoint offset = QPoint(), const QRegion &region = QRegion())
{
    const QImage lineByLine = paint(pic, false, offset, region);
    const QImage merged = paint(pic, true, offset, region);
    EXPECT_TRUE(lineByLine == merged) << firstDifference(lineByLine, merged);
}

// A float coordinate as the redraw produces them, or one on a fine grid.
float coordinate(std::mt19937 &rng, float limit)
{
    switch (rng() % 3) {
    case 0: return float(rng() % unsigned(limit * 64)) / 64.0f;   // on the engine's 1/64 grid
    case 1: return float(rng() % unsigned(limit * 10)) / 10.0f;   // tenths, as at "Mag 1/10"
    default: return std::uniform_real_distribution<float>(0.0f, limit)(rng);
    }
}

TEST(PicturePaint, RandomLinesOfEveryKindPaintTheSamePixels)
{
    PictureBox pic;
    pic.resize(120, 80);
    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        pic.clearDrawing();
        for (int n = 0; n < 300; ++n) {
            float x1 = coordinate(rng, 120), y1 = coordinate(rng, 80);
            float x2 = coordinate(rng, 120), y2 = coordinate(rng, 80);
            switch (rng() % 8) {
            case 0: y2 = y1; break;                                     // horizontal
            case 1: x2 = x1; break;                                     // vertical
            case 2: x2 = x1; y2 = y1; break;                            // a point
            case 3: y1 = std::floor(y1); y2 = y1; break;                // on a row
            case 4: x2 = x1; y1 = std::floor(y1); y2 = std::floor(y2); break;
            case 5: x2 = x1 + 0.01f; y2 = y1; break;                    // shorter than 1/64
            case 6: x1 -= 20; x2 += 20; y2 = y1; break;                 // beyond the widget
            default: break;                                             // any slope
            }
            pic.drawLine(x1, y1, x2, y2, QColor(0, 0, 0));
        }
        expectSamePixels(pic);
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(PicturePaint, TwoColoursKeepTheirOrder)
{
    PictureBox pic;
    pic.resize(60, 40);
    for (int i = 0; i < 50; ++i) {
        pic.drawLine(i * 0.7f, 10, i * 0.7f, 30, QColor(0, 0, 0));
        pic.drawLine(0, 5 + i * 0.5f, 55, 5 + i * 0.5f, QColor(255, 0, 0));
    }
    expectSamePixels(pic);
}

TEST(PicturePaint, PartialRegionsAndWholePixelOffsets)
{
    PictureBox pic;
    pic.resize(100, 60);
    std::mt19937 rng(7);
    for (int n = 0; n < 400; ++n) {
        const float x = coordinate(rng, 100), y = coordinate(rng, 60);
        if (n % 2)
            pic.drawLine(x, y, coordinate(rng, 100), y, QColor(0, 0, 0));
        else
            pic.drawLine(x, y, x, coordinate(rng, 60), QColor(0, 0, 0));
    }
    expectSamePixels(pic, QPoint(3, 7));
    expectSamePixels(pic, QPoint(), QRegion(17, 9, 31, 23));
    expectSamePixels(pic, QPoint(2, 1), QRegion(0, 0, 50, 60) + QRegion(60, 10, 13, 13));
}

TEST(PicturePaint, ScaledDeviceFallsBackToLineByLine)
{
    PictureBox pic;
    pic.resize(60, 40);
    for (int i = 0; i < 60; ++i) {
        pic.drawLine(i * 0.35f, 3, i * 0.35f, 30, QColor(0, 0, 0));
        pic.drawLine(2, i * 0.5f + 0.25f, 50.5f, i * 0.5f + 0.25f, QColor(0, 0, 0));
    }
    auto paintScaled = [&pic](bool merged) {
        pic.setPaintRunsMerged(merged);
        QImage image(pic.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::magenta);
        pic.render(&image);
        pic.setPaintRunsMerged(true);
        return image;
    };
    const QImage lineByLine = paintScaled(false), merged = paintScaled(true);
    EXPECT_TRUE(lineByLine == merged) << firstDifference(lineByLine, merged);
}

// The capture with a level change on every channel in every sample period,
// or with levels and analog values from a generator.
QByteArray stream(bool analog, int records, bool random)
{
    std::mt19937 rng(99);
    QByteArray s(1, char(0x02));
    int t = 0;
    for (int i = 0; i < records; ++i) {
        if (random)
            t += int(rng() % 4); // equal time stamps too
        else
            t = i;
        t = std::min(t, 0x7FFF);
        s.append(char(t >> 8)).append(char(t & 0xFF));
        s.append(char(random ? rng() & 0xFF : ((i & 1) ? 0xAA : 0x55)));
        if (analog)
            s.append(char(rng() & 0xFF));
    }
    return s.append(char(0x80));
}

void expectRedrawsPaintTheSame(bool analog, bool random)
{
    auto form = MakeDetachedForm(false);
    if (analog)
        form->selectOption(form->Option4[1]);
    form->state.PendingCommand = QStringLiteral("dataread");
    form->state.ReplyPos = 0;
    form->ReceiveChunkForTest(stream(analog, analog ? 16384 : 32768, random));
    ASSERT_TRUE(form->state.PendingCommand.isEmpty());
    for (int mag = 0; mag <= 6; ++mag) {
        form->VScroll1->setValue(mag);
        const int max = form->HScroll1->maximum();
        for (int start : {0, 1, max / 3, max}) {
            form->HScroll1->setValue(start);
            form->HScroll1_Change();
            ASSERT_GT(form->Picture1->drawnLineCount(), 0u);
            expectSamePixels(*form->Picture1);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(PicturePaint, FullLogicCaptureAtEveryMagnification)
{
    expectRedrawsPaintTheSame(false, false);
}

TEST(PicturePaint, RandomLogicCaptureAtEveryMagnification)
{
    expectRedrawsPaintTheSame(false, true);
}

TEST(PicturePaint, FullAnalogCaptureAtEveryMagnification)
{
    expectRedrawsPaintTheSame(true, false);
}

TEST(PicturePaint, RandomAnalogCaptureAtEveryMagnification)
{
    expectRedrawsPaintTheSame(true, true);
}

} // namespace
