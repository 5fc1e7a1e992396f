#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "decode/decode_result.h"

// Where the decoders' annotations go in the strip under the traces, worked
// out apart from the widget so it can be checked without painting. x is in
// field pixels: 0 is the traces' x = 40, and sample t lies at
// (t - viewStart) * magnification, exactly as the traces place it.

enum class AnnotationKind { Normal, Warning, Error };

// Warning or Error when a class or row id says so ("frame-error", "warnings").
AnnotationKind KindOfId(const QString &id);

// Width in pixels of a text in the font it will be drawn in.
using TextWidthFunction = std::function<double(const QString &)>;

struct AnnotationView {
    int64_t viewStart = 0;    // sample at the field's left edge (the scroll bar's value)
    float magnification = 1;  // pixels per sample
    double fieldWidth = 700;  // pixels
};

// One thing to draw in a row.
struct AnnotationBox {
    float x1 = 0, x2 = 0;         // field pixels, clipped to 0..fieldWidth
    bool cutLeft = false, cutRight = false; // goes on beyond the field's edge
    int annotationClass = -1;     // of the (first) annotation; -1 for an error message
    AnnotationKind kind = AnnotationKind::Normal;
    QString text;                 // what fits inside, possibly empty
    double textWidth = 0;         // of `text`
    const DecodeAnnotation *annotation = nullptr; // the first one drawn; null for an error message
    int count = 1;                // annotations this box stands for
    // A run of annotations too narrow to draw one by one, shown as one
    // filled bar so a dense burst does not smear.
    bool block = false;
};

// A row of the strip: one declared row of one instance that has annotations
// somewhere in the result, or the line that carries an error message. The
// list depends on the result only, so rows stay put while scrolling.
struct AnnotationRowInfo {
    int instanceIndex = -1;            // into DecodeResult::instances; -1 for the request's own error
    int rowIndex = -1;                 // into DecodeInstanceResult::rows; -1 for an error line
    const DecodeInstanceResult *instance = nullptr;
    const DecodeRow *row = nullptr;    // null for an error line
    QString title;                     // "uart-1: RX data"
    QString shortTitle;                // "RX data", when the title does not fit
    QString error;                     // the message of an error line
    QStringList detail;                // more for its tooltip: the last lines of the traceback
    bool firstOfInstance = false;      // a separator goes above it
    AnnotationKind rowKind = AnnotationKind::Normal;
    std::vector<AnnotationKind> classKinds; // by class index
};

// Padding between a box's edge and its text, each side.
constexpr double kAnnotationTextPadding = 3.0;
// Annotations narrower than this are merged with their neighbours into blocks.
constexpr double kAnnotationNarrowPx = 3.0;

std::vector<AnnotationRowInfo> AnnotationRows(const DecodeResult &result);

// The longest of `texts` (longest first) whose width fits `room`, else the
// next shorter ones, else empty.
QString ChooseAnnotationText(const QStringList &texts, double room, const TextWidthFunction &textWidth,
                             double *width = nullptr);

// The boxes of one row in view, left to right. Costs what the view holds.
std::vector<AnnotationBox> LayOutAnnotationRow(const AnnotationRowInfo &row, const AnnotationView &view,
                                               const TextWidthFunction &textWidth);

// Every row: AnnotationRows, then LayOutAnnotationRow for each.
struct AnnotationRowLayout {
    AnnotationRowInfo info;
    std::vector<AnnotationBox> boxes;
};
std::vector<AnnotationRowLayout> LayOutAnnotations(const DecodeResult &result, const AnnotationView &view,
                                                   const TextWidthFunction &textWidth);

// The samples under field pixels [x1, x2): first and last (exclusive).
void SamplesUnderPixels(const AnnotationView &view, double x1, double x2, int64_t *first, int64_t *last);
