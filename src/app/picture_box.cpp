#include "app/picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// How the raster engine places an aliased one-pixel line with square caps
// (the pen used here), for end points at or right/below the device origin:
// - a line whose end points are equal is one pixel, at (floor(x + 0.5),
//   floor(y + 0.5));
// - a horizontal line from x1 to x2 covers the pixels floor(min x) ..
//   floor(max x) of row floor(y); a vertical line likewise covers rows
//   floor(min y) .. floor(max y) of column floor(x).
// The engine works in 1/64 pixel: a line shorter than that is left to the
// engine itself, and so is every line that is not along a row or a column.
// Drawing in one opaque colour sets every pixel that any line covers, so the
// union of the runs, painted as whole-pixel rectangles, is the same picture.
// tests/test_picture_paint.cpp compares the two paintings pixel by pixel.
constexpr double kMinRunLength = 1.0 / 64.0;

struct Run {
    int lo, hi; // first and last pixel, inclusive
};

// Runs of one pixel row or column, in any order; overlapping or touching runs
// are joined when they arrive close together (the common case: a trace is
// drawn from left to right), and by normalise() otherwise.
void addRun(std::vector<Run> &runs, int lo, int hi)
{
    int looked = 0;
    for (auto it = runs.rbegin(); it != runs.rend() && looked < 16; ++it, ++looked) {
        if (lo <= it->hi + 1 && hi >= it->lo - 1) {
            it->lo = std::min(it->lo, lo);
            it->hi = std::max(it->hi, hi);
            return;
        }
    }
    runs.push_back({lo, hi});
}

// Sorted, with overlapping and touching runs joined.
void normalise(std::vector<Run> &runs)
{
    if (runs.size() < 2)
        return;
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.lo < b.lo; });
    size_t out = 0;
    for (size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].lo <= runs[out].hi + 1)
            runs[out].hi = std::max(runs[out].hi, runs[i].hi);
        else
            runs[++out] = runs[i];
    }
    runs.resize(out + 1);
}

// Turns the runs of consecutive rows (or columns) into rectangles: a run that
// repeats unchanged in the next row (column) extends its rectangle. Empties
// the run lists.
void emitRects(std::vector<std::vector<Run>> &lines, bool vertical, std::vector<QRect> &out)
{
    struct Open {
        Run run;
        int first; // first row (column) of the rectangle
    };
    std::vector<Open> open, next;
    auto close = [&](const Open &o, int last) {
        const int across = last - o.first + 1, along = o.run.hi - o.run.lo + 1;
        out.push_back(vertical ? QRect(o.first, o.run.lo, across, along)
                               : QRect(o.run.lo, o.first, along, across));
    };
    const int count = int(lines.size());
    for (int k = 0; k < count; ++k) {
        std::vector<Run> &runs = lines[size_t(k)];
        normalise(runs);
        // Both lists are sorted by start: equal runs are matched in one pass.
        next.clear();
        size_t a = 0;
        for (const Run &r : runs) {
            while (a < open.size() && open[a].run.lo < r.lo)
                close(open[a++], k - 1);
            if (a < open.size() && open[a].run.lo == r.lo && open[a].run.hi == r.hi)
                next.push_back(open[a++]);
            else
                next.push_back({r, k});
        }
        while (a < open.size())
            close(open[a++], k - 1);
        open.swap(next);
        runs.clear();
    }
    for (const Open &o : open)
        close(o, count - 1);
}

// Scratch space for merging, kept between paintings.
thread_local std::vector<std::vector<Run>> t_rows, t_columns;

} // namespace

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true); // moves without a button reach the handler too
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::clearDrawing()
{
    bool hadContent = false;
    for (auto &b : batches_) {
        hadContent = hadContent || !b.lines.empty();
        b.lines.clear(); // keep the capacity: the next redraw reuses it
        b.merged.valid = false;
    }
    if (hadContent)
        update();
}

PictureBox::Batch &PictureBox::batchFor(QColor color)
{
    const QRgb rgb = color.rgb();
    for (auto &b : batches_)
        if (b.rgb == rgb)
            return b;
    batches_.emplace_back();
    batches_.back().rgb = rgb;
    return batches_.back();
}

void PictureBox::drawLine(float x1, float y1, float x2, float y2, QColor color)
{
    Batch &b = batchFor(color);
    b.lines.emplace_back(x1, y1, x2, y2);
    b.merged.valid = false;
    update();
}

void PictureBox::drawLines(const QLineF *lines, size_t count, QColor color)
{
    if (count == 0)
        return;
    Batch &b = batchFor(color);
    b.lines.insert(b.lines.end(), lines, lines + count);
    b.merged.valid = false;
    update();
}

size_t PictureBox::drawnLineCount() const
{
    size_t n = 0;
    for (const auto &b : batches_)
        n += b.lines.size();
    return n;
}

const std::vector<QLineF> *PictureBox::drawnLines(QColor color) const
{
    for (const auto &b : batches_)
        if (b.rgb == color.rgb())
            return &b.lines;
    return nullptr;
}

void PictureBox::setPaintRunsMerged(bool on)
{
    mergeRuns_ = on;
    update();
}

void PictureBox::mergeRuns(Batch &batch)
{
    MergedBatch &m = batch.merged;
    m.rects.clear();
    m.lines.clear();
    m.size = size();
    m.valid = true;
    const int w = width(), h = height();
    t_rows.resize(size_t(std::max(h, 0)));
    t_columns.resize(size_t(std::max(w, 0)));
    for (const QLineF &l : batch.lines) {
        const double x1 = l.x1(), y1 = l.y1(), x2 = l.x2(), y2 = l.y2();
        // Only inside the widget (which also keeps out NaN): coordinates are
        // then not negative and truncation is floor.
        const bool inside = x1 >= 0 && x1 < w && x2 >= 0 && x2 < w && y1 >= 0 && y1 < h && y2 >= 0 && y2 < h;
        if (inside && x1 == x2 && y1 == y2) {
            const int c = int(x1 + 0.5), r = int(y1 + 0.5);
            if (c < w && r < h) {
                addRun(t_rows[size_t(r)], c, c);
                continue;
            }
        } else if (inside && y1 == y2 && std::abs(x2 - x1) >= kMinRunLength) {
            addRun(t_rows[size_t(y1)], int(std::min(x1, x2)), int(std::max(x1, x2)));
            continue;
        } else if (inside && x1 == x2 && std::abs(y2 - y1) >= kMinRunLength) {
            addRun(t_columns[size_t(x1)], int(std::min(y1, y2)), int(std::max(y1, y2)));
            continue;
        }
        m.lines.push_back(l);
    }
    emitRects(t_rows, false, m.rects);
    emitRects(t_columns, true, m.rects);
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::ToolTipBase));
    p.setRenderHint(QPainter::Antialiasing, false);
    // The runs stand for the lines only where a pixel of the widget is a
    // pixel of the device, shifted by whole pixels at most.
    const QTransform t = p.deviceTransform();
    const bool wholePixels = t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx())
        && t.dy() == std::floor(t.dy());
    for (auto &b : batches_) {
        if (b.lines.empty())
            continue;
        const QColor color = QColor::fromRgb(b.rgb); // opaque
        p.setPen(QPen(color, 0));                    // cosmetic one-pixel pen, square caps
        if (mergeRuns_ && wholePixels) {
            if (!b.merged.valid || b.merged.size != size())
                mergeRuns(b);
            for (const QRect &r : b.merged.rects)
                p.fillRect(r, color);
            if (!b.merged.lines.empty())
                p.drawLines(b.merged.lines.data(), static_cast<int>(b.merged.lines.size()));
        } else {
            p.drawLines(b.lines.data(), static_cast<int>(b.lines.size()));
        }
    }
    for (const auto &l : lines_) {
        if (!l.visible)
            continue;
        QPen pen(l.color, 0, l.style);
        p.setPen(pen);
        p.drawLine(QLineF(l.x1, l.y1, l.x2, l.y2));
    }
}

static int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

static int shiftCode(Qt::KeyboardModifiers m)
{
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::ControlModifier) ? 2 : 0)
        | ((m & Qt::AltModifier) ? 4 : 0);
}

void PictureBox::mousePressEvent(QMouseEvent *e)
{
    if (onMouseDown)
        onMouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), float(e->position().x()),
                    float(e->position().y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent *e)
{
    int button = 0;
    if (e->buttons() & Qt::LeftButton) button |= 1;
    if (e->buttons() & Qt::RightButton) button |= 2;
    if (e->buttons() & Qt::MiddleButton) button |= 4;
    if (onMouseMove)
        onMouseMove(button, shiftCode(e->modifiers()), float(e->position().x()), float(e->position().y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent *e)
{
    if (onMouseUp)
        onMouseUp(buttonCode(e->button()), shiftCode(e->modifiers()), float(e->position().x()),
                  float(e->position().y()));
}
