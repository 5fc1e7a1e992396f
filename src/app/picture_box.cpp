#include "app/picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtAlgorithms>
#include <algorithm>
#include <cmath>
#include <vector>

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

// The pixels covered in each row (or column) of the widget, one bit a pixel.
class PixelRuns {
public:
    void reset(int lines, int length)
    {
        lines_ = lines;
        words_ = (length + 63) / 64;
        bits_.assign(size_t(lines_) * size_t(words_), 0);
    }
    int lines() const { return lines_; }

    // Pixels lo..hi of line k (0 <= lo <= hi < length).
    void add(int k, int lo, int hi)
    {
        quint64 *w = bits_.data() + size_t(k) * size_t(words_);
        const int first = lo >> 6, last = hi >> 6;
        const quint64 from = ~quint64(0) << (lo & 63);
        const quint64 to = ~quint64(0) >> (63 - (hi & 63));
        if (first == last) {
            w[first] |= from & to;
            return;
        }
        w[first] |= from;
        for (int i = first + 1; i < last; ++i)
            w[i] = ~quint64(0);
        w[last] |= to;
    }

    // The runs of line k, in increasing order.
    void runsOf(int k, std::vector<Run> &out) const
    {
        out.clear();
        const quint64 *w = bits_.data() + size_t(k) * size_t(words_);
        int i = 0;
        quint64 word = words_ > 0 ? w[0] : 0;
        while (true) {
            // Next set bit.
            while (word == 0) {
                if (++i >= words_)
                    return;
                word = w[i];
            }
            const int lo = i * 64 + int(qCountTrailingZeroBits(word));
            // Next clear bit after it.
            word = ~word & (~quint64(0) << (lo & 63));
            while (word == 0) {
                if (++i >= words_) {
                    out.push_back({lo, words_ * 64 - 1});
                    return;
                }
                word = ~w[i];
            }
            const int end = i * 64 + int(qCountTrailingZeroBits(word)); // first pixel after the run
            out.push_back({lo, end - 1});
            word = w[i] & (~quint64(0) << (end & 63));
        }
    }

private:
    int lines_ = 0;
    int words_ = 0;
    std::vector<quint64> bits_;
};

// Turns the runs of consecutive rows (or columns) into rectangles: a run that
// repeats unchanged in the next row (column) extends its rectangle.
void appendRects(const PixelRuns &runs, bool vertical, std::vector<QRect> &out)
{
    struct Open {
        Run run;
        int first; // first row (column) of the rectangle
    };
    std::vector<Open> open, next;
    std::vector<Run> line;
    auto close = [&](const Open &o, int last) {
        const int across = last - o.first + 1, along = o.run.hi - o.run.lo + 1;
        out.push_back(vertical ? QRect(o.first, o.run.lo, across, along)
                               : QRect(o.run.lo, o.first, along, across));
    };
    for (int k = 0; k < runs.lines(); ++k) {
        runs.runsOf(k, line);
        // Both lists are sorted by start: equal runs are matched in one pass.
        next.clear();
        size_t a = 0;
        for (const Run &r : line) {
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
    }
    for (const Open &o : open)
        close(o, runs.lines() - 1);
}

// Scratch space for merging, kept between paintings.
thread_local PixelRuns t_rows, t_columns;

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
    const int w = std::max(width(), 0), h = std::max(height(), 0);
    const double wd = w, hd = h;
    PixelRuns &rows = t_rows, &columns = t_columns;
    rows.reset(h, w);
    columns.reset(w, h);
    // Only lines inside the widget are taken apart (the comparisons also keep out
    // NaN): their coordinates are not negative, and truncation is floor.
    for (const QLineF &l : batch.lines) {
        const double x1 = l.x1(), y1 = l.y1(), x2 = l.x2(), y2 = l.y2();
        if (y1 == y2) {
            const double xa = std::min(x1, x2), xb = std::max(x1, x2);
            if (y1 >= 0 && y1 < hd && xa >= 0 && xb < wd) {
                if (xa == xb) {
                    const int c = int(x1 + 0.5), r = int(y1 + 0.5);
                    if (c < w && r < h) {
                        rows.add(r, c, c);
                        continue;
                    }
                } else if (xb - xa >= kMinRunLength) {
                    rows.add(int(y1), int(xa), int(xb));
                    continue;
                }
            }
        } else if (x1 == x2) {
            const double ya = std::min(y1, y2), yb = std::max(y1, y2);
            if (x1 >= 0 && x1 < wd && ya >= 0 && yb < hd && yb - ya >= kMinRunLength) {
                columns.add(int(x1), int(ya), int(yb));
                continue;
            }
        }
        m.lines.push_back(l);
    }
    appendRects(rows, false, m.rects);
    appendRects(columns, true, m.rects);
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::ToolTipBase));
    p.setRenderHint(QPainter::Antialiasing, false);
    // The runs stand for the lines only where a pixel of the widget is a
    // pixel of the device, shifted right and down by whole pixels at most.
    const QTransform t = p.deviceTransform();
    const bool wholePixels = t.type() <= QTransform::TxTranslate && t.dx() >= 0 && t.dy() >= 0
        && t.dx() == std::floor(t.dx()) && t.dy() == std::floor(t.dy());
    for (auto &b : batches_) {
        if (b.lines.empty())
            continue;
        const QColor color = QColor::fromRgb(b.rgb); // opaque
        p.setPen(QPen(color, 0));                    // cosmetic one-pixel pen, square caps
        if (mergeRuns_ && wholePixels) {
            if (!b.merged.valid || b.merged.size != size())
                mergeRuns(b);
            if (!b.merged.rects.empty()) {
                // Filled, without an outline: exactly the pixels of each rectangle.
                p.setPen(Qt::NoPen);
                p.setBrush(color);
                p.drawRects(b.merged.rects.data(), static_cast<int>(b.merged.rects.size()));
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(color, 0));
            }
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
