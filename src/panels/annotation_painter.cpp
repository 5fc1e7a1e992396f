#include "panels/annotation_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "panels/annotation_palette.h"

namespace {

constexpr int kInset = 2;        // between the row's band and a box, above and below
constexpr double kRadius = 3.0;  // of a box's corners
constexpr int kMarkerSize = 6;   // of the error corner

void PaintErrorMarker(QPainter &painter, int x, int y)
{
    const QPointF corner[3] = {QPointF(x, y), QPointF(x + kMarkerSize, y), QPointF(x, y + kMarkerSize)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0x00, 0x00));
    painter.drawPolygon(corner, 3);
}

} // namespace

void PaintAnnotationBoxes(QPainter &painter, const std::vector<AnnotationBox> &boxes, int fieldLeft, int top,
                          int height, const QFontMetricsF &metrics)
{
    const int y = top + kInset;
    const int h = height - 2 * kInset;
    // Text baseline that centres the font's ascent and descent in the band.
    const double baseline = top + (height + metrics.ascent() - metrics.descent()) / 2.0;
    for (const AnnotationBox &box : boxes) {
        const int x1 = fieldLeft + int(std::lround(box.x1));
        const int x2 = std::max(x1 + 1, fieldLeft + int(std::lround(box.x2)));
        const int w = x2 - x1;
        const QColor outline = AnnotationOutlineColor(box.annotationClass, box.kind);
        if (box.block || w < 4) {
            // Too narrow for an outline and text: a solid bar.
            painter.fillRect(QRect(x1, y, w, h), outline);
            continue;
        }
        painter.setPen(QPen(outline, 1));
        painter.setBrush(AnnotationFillColor(box.annotationClass, box.kind));
        // A box that goes on beyond the field has its cut side drawn past
        // the clip, so it ends square there instead of looking closed.
        const double left = box.cutLeft ? x1 - kRadius - 1 : x1 + 0.5;
        const double right = box.cutRight ? x2 + kRadius + 1 : x2 - 0.5;
        painter.drawRoundedRect(QRectF(left, y + 0.5, right - left, h - 1), kRadius, kRadius);
        if (box.kind == AnnotationKind::Error)
            PaintErrorMarker(painter, x1 + 1, y + 1);
        if (!box.text.isEmpty()) {
            // The layout chose a text narrower than the box less its
            // padding, so centring it keeps it inside.
            painter.setPen(Qt::black);
            painter.drawText(QPointF((x1 + x2) / 2.0 - box.textWidth / 2.0, baseline), box.text);
        }
    }
}
