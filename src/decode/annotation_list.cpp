#include "decode/annotation_list.h"

#include <algorithm>

namespace {

const DecoderAnnotationRow *RowOf(const AnnotationLine &line)
{
    const DecoderInfo *d = line.instance ? line.instance->decoder : nullptr;
    if (!d || !line.annotation || line.annotation->row < 0 || size_t(line.annotation->row) >= d->rows.size())
        return nullptr;
    return &d->rows[size_t(line.annotation->row)];
}

std::vector<AnnotationLine> AllLines(const DecodeResult &result)
{
    std::vector<AnnotationLine> lines;
    size_t n = 0;
    for (const DecodeInstanceResult &instance : result.instances)
        n += instance.annotationCount();
    lines.reserve(n);
    for (const DecodeInstanceResult &instance : result.instances) {
        for (const DecodeRow &row : instance.rows) {
            for (const DecodeAnnotation &a : row.annotations())
                lines.push_back({&instance, &a});
        }
    }
    return lines;
}

} // namespace

QString AnnotationLine::text() const
{
    return annotation && !annotation->texts.isEmpty() ? annotation->texts.first() : QString();
}

QString AnnotationLine::rowId() const
{
    const DecoderAnnotationRow *r = RowOf(*this);
    return r ? r->id : QString();
}

QString AnnotationLine::rowName() const
{
    const DecoderAnnotationRow *r = RowOf(*this);
    return r ? r->description : QString();
}

QString AnnotationLine::classId() const
{
    const DecoderInfo *d = instance ? instance->decoder : nullptr;
    if (!d || !annotation || annotation->annotationClass < 0
        || size_t(annotation->annotationClass) >= d->annotationClasses.size())
        return {};
    return d->annotationClasses[size_t(annotation->annotationClass)].id;
}

std::vector<AnnotationLine> AnnotationsInEmissionOrder(const DecodeResult &result)
{
    std::vector<AnnotationLine> lines = AllLines(result);
    std::sort(lines.begin(), lines.end(), [](const AnnotationLine &a, const AnnotationLine &b) {
        return a.annotation->order < b.annotation->order;
    });
    return lines;
}

std::vector<AnnotationLine> AnnotationsByStart(const DecodeResult &result)
{
    std::vector<AnnotationLine> lines = AllLines(result);
    std::sort(lines.begin(), lines.end(), [](const AnnotationLine &a, const AnnotationLine &b) {
        if (a.annotation->start != b.annotation->start)
            return a.annotation->start < b.annotation->start;
        return a.annotation->order < b.annotation->order;
    });
    return lines;
}

QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString AnnotationCsvHeader() { return QStringLiteral("start,end,decoder,row,text"); }

QString AnnotationCsvRow(const AnnotationLine &line)
{
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(line.annotation->start)
        .arg(line.annotation->end)
        .arg(CsvField(line.instance->name), CsvField(line.rowId()), CsvField(line.text()));
}
