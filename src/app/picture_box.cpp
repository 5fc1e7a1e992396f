#include "app/picture_box.h"

#include <QMouseEvent>
#include <QPainter>

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
    batches_.push_back(Batch{rgb, {}});
    return batches_.back();
}

void PictureBox::drawLine(float x1, float y1, float x2, float y2, QColor color)
{
    batchFor(color).lines.emplace_back(x1, y1, x2, y2);
    update();
}

void PictureBox::drawLines(const QLineF *lines, size_t count, QColor color)
{
    if (count == 0)
        return;
    auto &v = batchFor(color).lines;
    v.insert(v.end(), lines, lines + count);
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

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::ToolTipBase));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const auto &b : batches_) {
        if (b.lines.empty())
            continue;
        p.setPen(QPen(QColor::fromRgb(b.rgb), 0)); // cosmetic one-pixel pen
        p.drawLines(b.lines.data(), static_cast<int>(b.lines.size()));
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
