#include "panels/annotation_tooltip.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "decode/decode_result.h"

namespace {

QString SecondsText(double seconds, double periodSeconds)
{
    struct Unit {
        double scale;
        const char16_t *name;
    };
    static const Unit units[] = {{1, u"s"}, {1e-3, u"ms"}, {1e-6, u"\u00b5s"}, {1e-9, u"ns"}};
    const double size = seconds != 0 ? std::abs(seconds) : periodSeconds;
    const Unit *unit = &units[3];
    for (const Unit &u : units) {
        if (size >= u.scale) {
            unit = &u;
            break;
        }
    }
    const int decimals = std::clamp(int(std::ceil(std::log10(unit->scale / periodSeconds) - 1e-9)), 2, 6);
    return QStringLiteral("%1 %2").arg(seconds / unit->scale, 0, 'f', decimals).arg(QString::fromUtf16(unit->name));
}

} // namespace

QString CaptureTimeText(int64_t sample, uint64_t sampleRateHz)
{
    if (sampleRateHz == 0)
        return QStringLiteral("sample %1").arg(sample);
    const double period = 1.0 / double(sampleRateHz);
    return SecondsText(double(sample) * period, period);
}

QString CaptureDurationText(int64_t samples, uint64_t sampleRateHz)
{
    if (sampleRateHz == 0)
        return samples == 1 ? QStringLiteral("1 sample") : QStringLiteral("%1 samples").arg(samples);
    const double period = 1.0 / double(sampleRateHz);
    return SecondsText(double(samples) * period, period);
}

QString AnnotationToolTip(const DecodeAnnotation &annotation, const QString &instanceName, const QString &rowName,
                          uint64_t sampleRateHz)
{
    const int64_t end = std::max(annotation.end, annotation.start);
    QStringList lines;
    lines << annotation.texts.value(0);
    lines << QStringLiteral("start %1, end %2, duration %3")
                 .arg(CaptureTimeText(annotation.start, sampleRateHz), CaptureTimeText(end, sampleRateHz),
                      CaptureDurationText(end - annotation.start, sampleRateHz));
    lines << QStringLiteral("%1, %2").arg(instanceName, rowName);
    return lines.join(QLatin1Char('\n'));
}
