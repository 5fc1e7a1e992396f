#include "export/capture_notes.h"

#include <array>

#ifndef LA_VERSION
#define LA_VERSION "1.0"
#endif

namespace {

// Condition codes of the instrument: 2 high, 0 low, 3 rising, 1 falling.
QString LevelConditionText(int condition)
{
    switch (condition) {
    case 0: return QStringLiteral("low");
    case 1: return QStringLiteral("falling edge");
    case 2: return QStringLiteral("high");
    default: return QStringLiteral("rising edge");
    }
}

QString RangeText(int rangeIndex)
{
    return QStringLiteral("x%1 (0 to %2 V)")
        .arg(Capture::voltageScaleFor(rangeIndex))
        .arg(5.0 * Capture::voltageScaleFor(rangeIndex));
}

// Key of a note line: lower case without blanks, so "Sample rate" and
// sigrok's "Samplerate" are the same key.
QString NoteKey(QStringView key)
{
    QString k;
    for (QChar c : key) {
        if (!c.isSpace())
            k += c.toLower();
    }
    return k;
}

std::optional<int> ParseRange(QStringView value)
{
    value = value.trimmed();
    if (!value.startsWith(QLatin1Char('x')))
        return std::nullopt;
    const qsizetype end = value.indexOf(QLatin1Char(' '));
    bool ok = false;
    const double scale = value.mid(1, end < 0 ? -1 : end - 1).toDouble(&ok);
    for (int i = 0; ok && i < 5; ++i) {
        if (Capture::voltageScaleFor(i) == scale)
            return i;
    }
    return std::nullopt;
}

// The instrument's codes in brackets at the end of the trigger note:
// "[kind 0, condition 3, channel 0, pattern 0, level 128]".
std::optional<CaptureTrigger> ParseTriggerCodes(QStringView value)
{
    const qsizetype open = value.lastIndexOf(QLatin1Char('['));
    const qsizetype close = value.lastIndexOf(QLatin1Char(']'));
    if (open < 0 || close < open)
        return std::nullopt;
    const QString inner = value.mid(open + 1, close - open - 1).toString();
    static const std::array<std::pair<const char *, int>, 5> fields = {
        {{"kind", 1}, {"condition", 3}, {"channel", 3}, {"pattern", 15}, {"level", 255}}};
    std::array<std::optional<int>, 5> found;
    for (const QString &part : inner.split(QLatin1Char(','))) {
        const QStringList words = part.simplified().split(QLatin1Char(' '));
        if (words.size() != 2)
            return std::nullopt;
        bool ok = false;
        const int v = words[1].toInt(&ok);
        for (size_t i = 0; i < fields.size(); ++i) {
            if (words[0] == QLatin1String(fields[i].first)) {
                if (!ok || v < 0 || v > fields[i].second)
                    return std::nullopt;
                found[i] = v;
            }
        }
    }
    for (const auto &f : found) {
        if (!f)
            return std::nullopt;
    }
    CaptureTrigger t;
    t.kind = *found[0];
    t.condition = *found[1];
    t.channel = *found[2];
    t.pattern = *found[3];
    t.levelCount = *found[4];
    return t;
}

} // namespace

QString PeriodText(int64_t ps)
{
    static const std::array<std::pair<int64_t, const char *>, 4> units = {
        {{1'000'000'000, "ms"}, {1'000'000, "us"}, {1'000, "ns"}, {1, "ps"}}};
    for (const auto &[size, name] : units) {
        if (ps != 0 && ps % size == 0)
            return QStringLiteral("%1 %2").arg(ps / size).arg(QLatin1String(name));
    }
    return QStringLiteral("0 ps");
}

QString ProgramNameAndVersion() { return QStringLiteral("Logic Analyzer " LA_VERSION); }

QString SampleRateText(uint64_t hz)
{
    if (hz != 0 && hz % 1'000'000 == 0)
        return QStringLiteral("%1 MHz").arg(hz / 1'000'000);
    if (hz != 0 && hz % 1'000 == 0)
        return QStringLiteral("%1 kHz").arg(hz / 1'000);
    return QStringLiteral("%1 Hz").arg(hz);
}

std::optional<uint64_t> ParseSampleRate(QStringView text)
{
    const qsizetype paren = text.indexOf(QLatin1Char('('));
    if (paren >= 0)
        text = text.left(paren);
    text = text.trimmed();
    qsizetype i = 0;
    // Whole and fractional digits, each limited so nothing can overflow:
    // the fastest rate anyone writes is far below 10^13 Hz.
    uint64_t whole = 0, fraction = 0, fractionScale = 1;
    int wholeDigits = 0;
    while (i < text.size() && text[i].isDigit() && wholeDigits < 13) {
        whole = whole * 10 + uint64_t(text[i].digitValue());
        ++wholeDigits;
        ++i;
    }
    if (wholeDigits == 0 || (i < text.size() && text[i].isDigit()))
        return std::nullopt;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text[i].isDigit() && fractionScale < 1'000'000'000) {
            fraction = fraction * 10 + uint64_t(text[i].digitValue());
            fractionScale *= 10;
            ++i;
        }
        if (i < text.size() && text[i].isDigit())
            return std::nullopt;
    }
    QStringView unit = text.mid(i).trimmed();
    uint64_t multiplier = 1;
    if (unit.startsWith(QLatin1Char('k')) || unit.startsWith(QLatin1Char('K')))
        multiplier = 1'000;
    else if (unit.startsWith(QLatin1Char('M')))
        multiplier = 1'000'000;
    else if (unit.startsWith(QLatin1Char('G')))
        multiplier = 1'000'000'000;
    if (multiplier != 1)
        unit = unit.mid(1);
    if (!unit.isEmpty() && unit.compare(QLatin1String("Hz"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const uint64_t fractionHz = fraction * multiplier;
    if (fractionHz % fractionScale != 0)
        return std::nullopt;
    return whole * multiplier + fractionHz / fractionScale;
}

QString TriggerDescription(const Capture &capture)
{
    const CaptureTrigger &t = capture.trigger();
    if (capture.isAnalog()) {
        if (t.kind == 1)
            return QStringLiteral("free run");
        return QStringLiteral("analog level %1 counts (%2 V) %3")
            .arg(t.levelCount)
            .arg(t.levelCount * capture.voltsPerCount(), 0, 'f', 3)
            .arg(t.condition >= 2 ? QStringLiteral("rising") : QStringLiteral("falling"));
    }
    if (t.kind == 1) {
        QString bits;
        for (int i = 0; i < 4; ++i)
            bits += QLatin1Char((t.pattern >> i) & 1 ? '1' : '0');
        return QStringLiteral("pattern CH1..CH4 = %1 %2")
            .arg(bits, t.condition >= 2 ? QStringLiteral("equal") : QStringLiteral("differ"));
    }
    return QStringLiteral("CH%1 %2").arg(t.channel + 1).arg(LevelConditionText(t.condition));
}

QStringList CaptureNoteLines(const Capture &capture)
{
    const CaptureTrigger &t = capture.trigger();
    QStringList lines;
    lines << QStringLiteral("mode: %1").arg(capture.isAnalog() ? QStringLiteral("Analog") : QStringLiteral("Logic"));
    lines << QStringLiteral("sample rate: %1 (%2 a sample)")
                 .arg(SampleRateText(capture.sampleRateHz()), PeriodText(capture.samplePeriodPs()));
    lines << QStringLiteral("trigger: %1 [kind %2, condition %3, channel %4, pattern %5, level %6]")
                 .arg(TriggerDescription(capture))
                 .arg(t.kind)
                 .arg(t.condition)
                 .arg(t.channel)
                 .arg(t.pattern)
                 .arg(t.levelCount);
    lines << QStringLiteral("input range: %1").arg(RangeText(capture.rangeIndex()));
    lines << QStringLiteral("measurement length: %1 samples").arg(capture.measurementLength());
    lines << QStringLiteral("samples: %1").arg(capture.sampleCount());
    return lines;
}

void ReadCaptureNote(QStringView line, CaptureNotes &notes)
{
    qsizetype sep = line.indexOf(QLatin1Char(':'));
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (sep < 0 || (eq >= 0 && eq < sep))
        sep = eq;
    if (sep < 0)
        return;
    const QString key = NoteKey(line.left(sep));
    const QStringView value = line.mid(sep + 1).trimmed();
    if (key == QLatin1String("samplerate")) {
        if (const auto hz = ParseSampleRate(value))
            notes.sampleRateHz = *hz;
    } else if (key == QLatin1String("inputrange")) {
        if (const auto r = ParseRange(value))
            notes.rangeIndex = *r;
    } else if (key == QLatin1String("trigger")) {
        if (const auto t = ParseTriggerCodes(value))
            notes.trigger = *t;
    }
}
