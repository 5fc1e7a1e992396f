#include "panels/annotation_layout.h"

#include <algorithm>
#include <cmath>

namespace {

// The same arithmetic as the traces (render_geometry.cpp), so a box edge and
// the edge it annotates land on the same pixel.
float FieldX(int64_t sample, const AnnotationView &view)
{
    return static_cast<float>(static_cast<double>(sample - view.viewStart)
                              * static_cast<double>(view.magnification));
}

AnnotationKind Worse(AnnotationKind a, AnnotationKind b) { return std::max(a, b); }

// The longest head of `text` with an ellipsis that fits `room`; error messages
// can be as long as a Python traceback's last line.
QString Elide(const QString &text, double room, const TextWidthFunction &textWidth, double *width)
{
    *width = textWidth(text);
    if (*width <= room)
        return text;
    const QString ellipsis(QChar(0x2026));
    int lo = 0, hi = int(text.size()) - 1; // the longest fitting head is in [lo, hi]
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (textWidth(text.left(mid) + ellipsis) <= room)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QString out = text.left(lo) + ellipsis;
    *width = textWidth(out);
    return *width <= room ? out : QString();
}

QString RowTitle(const DecodeRow &row)
{
    return row.description.isEmpty() ? row.id : row.description;
}

AnnotationRowInfo ErrorLine(int instanceIndex, const DecodeInstanceResult *instance, const QString &error,
                            const QString &what = QStringLiteral("error"), AnnotationKind kind = AnnotationKind::Error)
{
    AnnotationRowInfo line;
    line.instanceIndex = instanceIndex;
    line.instance = instance;
    line.title = (instance ? instance->name : QStringLiteral("Decoding")) + QStringLiteral(": ") + what;
    line.shortTitle = what;
    line.error = error;
    line.firstOfInstance = true;
    line.rowKind = kind;
    return line;
}

std::vector<AnnotationBox> LayOutErrorLine(const AnnotationRowInfo &row, const AnnotationView &view,
                                           const TextWidthFunction &textWidth)
{
    // Drawn across the whole field whatever the scroll position, so the
    // failure is seen wherever the user looks.
    AnnotationBox box;
    box.x1 = 0;
    box.x2 = float(view.fieldWidth);
    box.kind = row.rowKind;
    box.text = Elide(row.error, view.fieldWidth - 2 * kAnnotationTextPadding, textWidth, &box.textWidth);
    return {box};
}

} // namespace

AnnotationKind KindOfId(const QString &id)
{
    if (id.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return AnnotationKind::Error;
    if (id.contains(QLatin1String("warn"), Qt::CaseInsensitive))
        return AnnotationKind::Warning;
    return AnnotationKind::Normal;
}

std::vector<AnnotationRowInfo> AnnotationRows(const DecodeResult &result)
{
    std::vector<AnnotationRowInfo> rows;
    if (!result.error.isEmpty())
        rows.push_back(ErrorLine(-1, nullptr, result.error));
    for (size_t i = 0; i < result.instances.size(); ++i) {
        const DecodeInstanceResult &instance = result.instances[i];
        bool first = true;
        if (!instance.error.isEmpty()) {
            rows.push_back(ErrorLine(int(i), &instance, instance.error));
            rows.back().detail = instance.errorTrace;
            first = false;
        }
        // A limit stopped the run while this instance was busy: what it
        // decoded until then follows.
        if (!instance.stopped.isEmpty()) {
            rows.push_back(ErrorLine(int(i), &instance, instance.stopped, QStringLiteral("stopped"),
                                     AnnotationKind::Warning));
            rows.back().firstOfInstance = first;
            first = false;
        }
        std::vector<AnnotationKind> classKinds;
        if (instance.decoder) {
            for (const DecoderAnnotationClass &c : instance.decoder->annotationClasses)
                classKinds.push_back(KindOfId(c.id));
        }
        for (size_t r = 0; r < instance.rows.size(); ++r) {
            const DecodeRow &row = instance.rows[r];
            // A row empty over the whole result is left out; one merely empty
            // in view stays, so rows do not move while scrolling.
            if (row.annotations().empty())
                continue;
            AnnotationRowInfo info;
            info.instanceIndex = int(i);
            info.rowIndex = int(r);
            info.instance = &instance;
            info.row = &row;
            info.shortTitle = RowTitle(row);
            info.title = instance.name + QStringLiteral(": ") + info.shortTitle;
            info.firstOfInstance = first;
            info.rowKind = KindOfId(row.id);
            info.classKinds = classKinds;
            rows.push_back(std::move(info));
            first = false;
        }
    }
    return rows;
}

QString ChooseAnnotationText(const QStringList &texts, double room, const TextWidthFunction &textWidth, double *width)
{
    if (width)
        *width = 0;
    if (room < 1)
        return QString();
    for (const QString &text : texts) {
        if (text.isEmpty())
            continue;
        const double w = textWidth(text);
        if (w <= room) {
            if (width)
                *width = w;
            return text;
        }
    }
    return QString();
}

void SamplesUnderPixels(const AnnotationView &view, double x1, double x2, int64_t *first, int64_t *last)
{
    const double mag = double(view.magnification);
    *first = view.viewStart + int64_t(std::floor(x1 / mag));
    *last = std::max(*first + 1, view.viewStart + int64_t(std::ceil(x2 / mag)));
}

std::vector<AnnotationBox> LayOutAnnotationRow(const AnnotationRowInfo &row, const AnnotationView &view,
                                               const TextWidthFunction &textWidth)
{
    if (!row.row)
        return LayOutErrorLine(row, view, textWidth);
    if (!(view.magnification > 0) || !(view.fieldWidth > 0))
        return {};
    int64_t first = 0, last = 0;
    SamplesUnderPixels(view, 0, view.fieldWidth, &first, &last);
    const std::vector<const DecodeAnnotation *> visible = row.row->overlapping(first, last);

    const auto fieldRight = float(view.fieldWidth);
    std::vector<AnnotationBox> out;
    AnnotationBox block;
    bool blockOpen = false;
    auto closeBlock = [&] {
        if (blockOpen)
            out.push_back(block);
        blockOpen = false;
    };
    for (const DecodeAnnotation *a : visible) {
        const float rawX1 = FieldX(a->start, view);
        const float rawX2 = FieldX(std::max(a->end, a->start + 1), view);
        const float x1 = std::max(rawX1, 0.0f);
        const float x2 = std::min(rawX2, fieldRight);
        if (x2 <= x1)
            continue;
        const int cls = a->annotationClass;
        const AnnotationKind kind = Worse(
            row.rowKind, cls >= 0 && size_t(cls) < row.classKinds.size() ? row.classKinds[size_t(cls)]
                                                                          : AnnotationKind::Normal);
        // Narrowness is judged on the whole annotation, not the part in view:
        // a wide box cut by the field's edge is still a box.
        if (rawX2 - rawX1 < kAnnotationNarrowPx) {
            if (blockOpen && x1 <= block.x2 + float(kAnnotationNarrowPx)) {
                block.x2 = std::max(block.x2, x2);
                block.kind = Worse(block.kind, kind);
                ++block.count;
                continue;
            }
            closeBlock();
            block = AnnotationBox();
            block.x1 = x1;
            block.x2 = x2;
            block.annotationClass = cls;
            block.kind = kind;
            block.annotation = a;
            block.block = true;
            blockOpen = true;
            continue;
        }
        closeBlock();
        AnnotationBox box;
        box.x1 = x1;
        box.x2 = x2;
        box.cutLeft = rawX1 < x1;
        box.cutRight = rawX2 > x2;
        box.annotationClass = cls;
        box.kind = kind;
        box.annotation = a;
        box.text = ChooseAnnotationText(a->texts, double(x2 - x1) - 2 * kAnnotationTextPadding, textWidth,
                                        &box.textWidth);
        out.push_back(std::move(box));
    }
    closeBlock();
    return out;
}

std::vector<AnnotationRowLayout> LayOutAnnotations(const DecodeResult &result, const AnnotationView &view,
                                                   const TextWidthFunction &textWidth)
{
    std::vector<AnnotationRowLayout> out;
    for (AnnotationRowInfo &info : AnnotationRows(result)) {
        AnnotationRowLayout row;
        row.info = std::move(info);
        row.boxes = LayOutAnnotationRow(row.info, view, textWidth);
        out.push_back(std::move(row));
    }
    return out;
}
