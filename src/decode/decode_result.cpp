#include "decode/decode_result.h"

#include <algorithm>

namespace {

int64_t CoveredEnd(const DecodeAnnotation &a) { return std::max(a.end, a.start + 1); }

// A byte from an annotation text, as the UART's "format" option writes it;
// -1 when the text is no byte.
int ByteFromText(const QString &text, const QString &format)
{
    if (text.isEmpty())
        return -1;
    if (format == QLatin1String("ascii")) {
        // Printable characters as themselves, the rest as "[0D]".
        if (text.size() == 1)
            return text.at(0).unicode() <= 0xFF ? text.at(0).unicode() : -1;
        if (text.size() >= 3 && text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
            return ByteFromText(text.mid(1, text.size() - 2), QStringLiteral("hex"));
        return -1;
    }
    int base = 16;
    if (format == QLatin1String("dec"))
        base = 10;
    else if (format == QLatin1String("oct"))
        base = 8;
    else if (format == QLatin1String("bin"))
        base = 2;
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, base);
    return ok && value <= 0xFF ? int(value) : -1;
}

} // namespace

void DecodeRow::finish()
{
    std::stable_sort(annotations_.begin(), annotations_.end(),
                     [](const DecodeAnnotation &a, const DecodeAnnotation &b) { return a.start < b.start; });
    endSoFar_.resize(annotations_.size());
    int64_t end = INT64_MIN;
    for (size_t i = 0; i < annotations_.size(); ++i) {
        end = std::max(end, CoveredEnd(annotations_[i]));
        endSoFar_[i] = end;
    }
}

std::vector<const DecodeAnnotation *> DecodeRow::overlapping(int64_t first, int64_t last) const
{
    std::vector<const DecodeAnnotation *> out;
    if (first >= last)
        return out;
    // Before `from` every annotation ends at or before `first`; from `to` on
    // every one starts at or after `last`.
    const size_t from = size_t(std::upper_bound(endSoFar_.begin(), endSoFar_.end(), first) - endSoFar_.begin());
    const auto toIt = std::lower_bound(annotations_.begin() + ptrdiff_t(from), annotations_.end(), last,
                                       [](const DecodeAnnotation &a, int64_t s) { return a.start < s; });
    const size_t to = size_t(toIt - annotations_.begin());
    for (size_t i = from; i < to; ++i) {
        if (CoveredEnd(annotations_[i]) > first)
            out.push_back(&annotations_[i]);
    }
    return out;
}

size_t DecodeInstanceResult::annotationCount() const
{
    size_t n = 0;
    for (const DecodeRow &r : rows)
        n += r.annotations().size();
    return n;
}

const DecodeRow *DecodeInstanceResult::row(const QString &rowId) const
{
    for (const DecodeRow &r : rows) {
        if (r.id == rowId)
            return &r;
    }
    return nullptr;
}

std::vector<const DecodeAnnotation *> DecodeInstanceResult::inEmissionOrder() const
{
    std::vector<const DecodeAnnotation *> out;
    out.reserve(annotationCount());
    for (const DecodeRow &r : rows) {
        for (const DecodeAnnotation &a : r.annotations())
            out.push_back(&a);
    }
    std::sort(out.begin(), out.end(),
              [](const DecodeAnnotation *a, const DecodeAnnotation *b) { return a->order < b->order; });
    return out;
}

QByteArray DecodeInstanceResult::byteStream(const QString &classId) const
{
    QByteArray out;
    if (!decoder)
        return out;
    const int cls = decoder->classIndex(classId);
    if (cls < 0)
        return out;
    const auto format = options.find(QStringLiteral("format"));
    QString formatText = format != options.end() ? format->second.toString() : QString();
    if (decoderId != QLatin1String("uart") || formatText.isEmpty())
        formatText = QStringLiteral("hex");
    const DecodeRow &r = rows[size_t(decoder->rowOfClass[size_t(cls)])];
    for (const DecodeAnnotation &a : r.annotations()) {
        if (a.annotationClass != cls || a.texts.isEmpty())
            continue;
        const int byte = ByteFromText(a.texts.last(), formatText);
        if (byte >= 0)
            out.append(char(byte));
    }
    return out;
}

const DecodeInstanceResult *DecodeResult::instance(const QString &name) const
{
    for (const DecodeInstanceResult &i : instances) {
        if (i.name == name)
            return &i;
    }
    return nullptr;
}

QStringList DecodeResult::errors() const
{
    QStringList out;
    if (!error.isEmpty())
        out << error;
    for (const DecodeInstanceResult &i : instances) {
        if (!i.error.isEmpty())
            out << i.name + QStringLiteral(": ") + i.error;
    }
    return out;
}

QString DecodeResult::stopLine() const
{
    if (!stopped())
        return {};
    for (const DecodeInstanceResult &i : instances) {
        if (!i.stopped.isEmpty())
            return i.name + QStringLiteral(": ") + i.stopped;
    }
    return stopText;
}
