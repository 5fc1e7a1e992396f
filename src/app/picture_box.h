#pragma once

#include <QColor>
#include <QLineF>
#include <QWidget>
#include <functional>
#include <vector>

// A line object lying over the drawing area: it survives clearing and is
// changed only through its end points, colour, style and visibility.
struct LineObject {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    QColor color;
    Qt::PenStyle style = Qt::SolidLine;
    bool visible = true;
};

// The drawing area (Picture1). Coordinates are pixels from the top-left of
// the inner area. Drawn lines are retained until clear(), so the picture
// survives the window being covered and uncovered; the line objects are
// painted on top of them.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    // Line object slots: Line1..Line5 and Line3(0..11).
    enum LineId { Line1 = 0, Line2, Line4, Line5, Line3First, LineCount = Line3First + 12 };
    static int line3(int index) { return Line3First + index; }

    explicit PictureBox(QWidget *parent = nullptr);

    // Removes every drawn line; the line objects stay.
    void clearDrawing();
    // Draws a straight line in the given colour (retained).
    void drawLine(float x1, float y1, float x2, float y2, QColor color);
    // Batch form used by the waveform redraw: every line in one colour.
    void drawLines(const QLineF *lines, size_t count, QColor color);

    LineObject &line(int id) { return lines_[static_cast<size_t>(id)]; }
    const LineObject &line(int id) const { return lines_[static_cast<size_t>(id)]; }
    // Call after changing line objects so the picture is repainted.
    void lineObjectsChanged() { update(); }

    // What is drawn now, for tests: number of retained lines and the lines of one colour.
    size_t drawnLineCount() const;
    const std::vector<QLineF> *drawnLines(QColor color) const;

    // Painting of the retained lines. By default the lines that lie along a
    // pixel row or column are painted as the pixel runs they cover, merged
    // where they overlap (a full capture at "Mag 1/10" has ten edges in every
    // pixel column); the pixels are exactly those that drawing every line
    // gives. Off: every line is drawn as it is (tests compare the two).
    void setPaintRunsMerged(bool on);

    // Mouse events reach these with button (1 left, 2 right, 4 middle),
    // shift state (1 Shift, 2 Ctrl, 4 Alt) and position in pixels.
    std::function<void(int button, int shift, float x, float y)> onMouseDown, onMouseMove, onMouseUp;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // What a batch paints when its runs are merged: rectangles of whole
    // pixels, and the lines that are not along a row or column, drawn as lines.
    struct MergedBatch {
        bool valid = false;
        QSize size; // widget size it was made for
        std::vector<QRect> rects;
        std::vector<QLineF> lines;
    };
    struct Batch {
        QRgb rgb;
        std::vector<QLineF> lines;
        MergedBatch merged;
    };
    Batch &batchFor(QColor color);
    void mergeRuns(Batch &batch);

    std::vector<Batch> batches_; // drawn lines grouped by colour, painted with one call each
    LineObject lines_[LineCount];
    bool mergeRuns_ = true;
};
