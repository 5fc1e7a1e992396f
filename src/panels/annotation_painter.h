#pragma once

#include <QFontMetricsF>
#include <vector>

#include "panels/annotation_layout.h"

class QPainter;

// Draws the boxes of one strip row. `fieldLeft` is the x of field pixel 0,
// `top` and `height` the row's band; the painter's font is the one the texts
// were measured in. Box edges are rounded to whole pixels so outlines stay
// sharp at every magnification.
void PaintAnnotationBoxes(QPainter &painter, const std::vector<AnnotationBox> &boxes, int fieldLeft, int top,
                          int height, const QFontMetricsF &metrics);
