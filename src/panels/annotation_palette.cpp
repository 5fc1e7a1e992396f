#include "panels/annotation_palette.h"

#include <array>

namespace {

// Pastels far enough apart in hue to tell neighbouring rows apart.
constexpr std::array<QRgb, 12> kFills{
    0xcfe0ff, // blue
    0xcdeecd, // green
    0xfff0a8, // yellow
    0xe4d3f6, // purple
    0xc4eeee, // cyan
    0xffd3e6, // pink
    0xe2eabf, // olive
    0xd6dfea, // slate
    0xf3dfb8, // wheat
    0xcdeedf, // mint
    0xe9d6c6, // beige
    0xdadaff, // lavender
};

constexpr QRgb kWarningFill = 0xffd69a;
constexpr QRgb kErrorFill = 0xffb3b3;

QColor ClassFill(int classIndex)
{
    const int n = int(kFills.size());
    return QColor(kFills[size_t(((classIndex % n) + n) % n)]);
}

} // namespace

QColor AnnotationFillColor(int classIndex, AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::Error:
        return QColor(kErrorFill);
    case AnnotationKind::Warning:
        return QColor(kWarningFill);
    case AnnotationKind::Normal:
        break;
    }
    return ClassFill(classIndex);
}

QColor AnnotationOutlineColor(int classIndex, AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::Error:
        return QColor(0xc0, 0x00, 0x00);
    case AnnotationKind::Warning:
        return QColor(0xc0, 0x68, 0x00);
    case AnnotationKind::Normal:
        break;
    }
    return ClassFill(classIndex).darker(175);
}
