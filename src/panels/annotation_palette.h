#pragma once

#include <QColor>

#include "panels/annotation_layout.h"

// Colours of the annotation strip. Each class index keeps its colour in every
// row and every result, so the eye learns them; warnings and errors override
// the class colour so they stand out whatever the decoder.

// Light fill of a box, dark enough behind black text.
QColor AnnotationFillColor(int classIndex, AnnotationKind kind);
// Outline of a box and the colour of a block of merged narrow annotations.
QColor AnnotationOutlineColor(int classIndex, AnnotationKind kind);
