#include "acquire/option_values.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "settings/rate_table.h"

namespace {

// A decimal number and the unit written after it: "1.5ms" -> 15, 1, "ms".
// Only plain decimals: no sign, no exponent, at most 15 significant digits.
struct Decimal {
    int64_t digits = 0;  // the number without its point
    int fraction = 0;    // digits after the point
    QString unit;        // what follows, lower case, without a space before it
};

bool SplitDecimal(const QString &text, Decimal *d)
{
    const QString t = text.trimmed();
    int i = 0, significant = 0;
    bool seenPoint = false, seenDigit = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) {
            if (significant > 0 || c != QLatin1Char('0'))
                ++significant;
            if (significant > 15)
                return false;
            d->digits = d->digits * 10 + (c.unicode() - '0');
            if (seenPoint)
                ++d->fraction;
            seenDigit = true;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return false;
    d->unit = t.mid(i).trimmed().toLower();
    return true;
}

int64_t Pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

QString ListText(const QStringList &entries) { return entries.join(QLatin1String(", ")); }

// A number with at most three decimals, trailing zeros dropped.
QString Short(double v)
{
    static const QRegularExpression trailing(QStringLiteral("\\.?0+$"));
    return QString::number(v, 'f', 3).remove(trailing);
}

// A time in the largest unit that keeps a whole part, as the readouts write it.
QString TimeText(int64_t ps)
{
    const double s = double(ps) * 1e-12;
    if (s >= 1)
        return Short(s) + QLatin1String("s");
    if (s >= 1e-3)
        return Short(s * 1e3) + QLatin1String("ms");
    return Short(s * 1e6) + QLatin1String("us");
}

} // namespace

bool ParseRateValue(const QString &text, bool analog, int *rateIndex, QString *error)
{
    const QStringList &entries = analog ? rates::analogEntries() : rates::logicEntries();
    const QString mode = analog ? QStringLiteral("Analog") : QStringLiteral("Logic");
    auto refuse = [&](const QString &why) {
        *error = QStringLiteral("%1: %2 (the %3 rates: %4)").arg(text, why, mode, ListText(entries));
        return false;
    };
    Decimal d;
    if (!SplitDecimal(text, &d))
        return refuse(QStringLiteral("not a rate"));
    int64_t multiplier = 0;
    if (d.unit == QLatin1String("hz"))
        multiplier = 1;
    else if (d.unit == QLatin1String("khz"))
        multiplier = 1000;
    else if (d.unit == QLatin1String("mhz"))
        multiplier = 1000000;
    else
        return refuse(d.unit.isEmpty() ? QStringLiteral("a rate needs its unit, Hz, kHz or MHz")
                                       : QStringLiteral("not a rate"));
    const int64_t scaled = d.digits * multiplier; // at most 15 digits times 10^6: fits
    const int64_t divisor = Pow10(d.fraction);
    if (d.digits > std::numeric_limits<int64_t>::max() / multiplier || scaled % divisor != 0)
        return refuse(QStringLiteral("not a rate of the list"));
    const uint64_t hz = uint64_t(scaled / divisor);
    const Capture::Mode m = analog ? Capture::Mode::Analog : Capture::Mode::Logic;
    const int index = Capture::rateIndexForHz(m, hz);
    if (index < 0) {
        const Capture::Mode other = analog ? Capture::Mode::Logic : Capture::Mode::Analog;
        if (Capture::rateIndexForHz(other, hz) >= 0)
            return refuse(QStringLiteral("a rate of %1 mode").arg(analog ? QStringLiteral("Logic")
                                                                        : QStringLiteral("Analog (--mode analog)")));
        return refuse(QStringLiteral("not a rate of the list"));
    }
    *rateIndex = index;
    return true;
}

bool ParseTimeValue(const QString &text, int64_t *picoseconds, QString *error)
{
    Decimal d;
    int64_t unitPs = 0;
    if (SplitDecimal(text, &d)) {
        if (d.unit == QLatin1String("s"))
            unitPs = 1'000'000'000'000LL;
        else if (d.unit == QLatin1String("ms"))
            unitPs = 1'000'000'000LL;
        else if (d.unit == QLatin1String("us") || d.unit == QStringLiteral("µs"))
            unitPs = 1'000'000LL;
        else if (d.unit == QLatin1String("ns"))
            unitPs = 1'000LL;
    }
    if (unitPs == 0) {
        *error = QStringLiteral("%1: not a time with its unit (1.5ms, 200us, 2s)").arg(text);
        return false;
    }
    // Whole part and fraction apart, so that nothing overflows for any time
    // up to a million seconds; the fraction is truncated below 1 ps, which
    // changes no count of sample periods (the shortest is 50000 ps).
    const int64_t divisor = Pow10(d.fraction);
    const int64_t whole = d.digits / divisor;
    const int64_t part = d.digits % divisor;
    if (whole > 1'000'000'000'000'000'000LL / unitPs) {
        *error = QStringLiteral("%1: far longer than any measurement").arg(text);
        return false;
    }
    int64_t ps = whole * unitPs;
    // part / divisor * unitPs, exactly where unitPs is a multiple of divisor.
    if (divisor <= unitPs)
        ps += part * (unitPs / divisor);
    else
        ps += int64_t(std::floor(double(part) * double(unitPs) / double(divisor)));
    if (ps <= 0) {
        *error = QStringLiteral("%1: the time must be above 0").arg(text);
        return false;
    }
    *picoseconds = ps;
    return true;
}

bool PeriodsForTime(const InstrumentSetup &setup, int64_t picoseconds, int32_t *periods, QString *error)
{
    const int64_t period = Capture::samplePeriodPsFor(setup.mode(), setup.rateIndex);
    const int64_t n = std::max<int64_t>(1, picoseconds / period);
    if (n > setup.maxLength()) {
        *error = QStringLiteral("%1 is longer than the longest measurement at %2 (%3 sample periods, %4)")
                     .arg(TimeText(picoseconds), Capture::rateTextFor(setup.mode(), setup.rateIndex))
                     .arg(setup.maxLength())
                     .arg(TimeText(int64_t(setup.maxLength()) * period));
        return false;
    }
    *periods = int32_t(n);
    return true;
}

bool ParseTriggerValue(const QString &text, InstrumentSetup *setup, QString *error)
{
    const QString t = text.trimmed().toLower();
    // The condition buttons' codes: "Ｈ ＝" 2, "Ｌ ≠" 0, "↑ ＝" 3, "↓ ≠" 1.
    auto conditionOf = [](const QString &word) {
        if (word == QLatin1String("rise"))
            return 3;
        if (word == QLatin1String("fall"))
            return 1;
        if (word == QLatin1String("high"))
            return 2;
        if (word == QLatin1String("low"))
            return 0;
        return -1;
    };
    if (setup->analog) {
        const QString usage = QStringLiteral("%1: an Analog trigger is rise, fall, high, low or free").arg(text);
        if (t == QLatin1String("free")) {
            setup->secondKind = true;
            return true;
        }
        const int code = conditionOf(t);
        if (code < 0) {
            *error = usage;
            return false;
        }
        setup->secondKind = false;
        setup->conditionCode = code;
        return true;
    }

    const QString usage =
        QStringLiteral("%1: a Logic trigger is rise:CHn, fall:CHn, high:CHn, low:CHn (n = 1..4), pattern:BBBB "
                       "or pattern!=BBBB (CH1..CH4 as 0 or 1)")
            .arg(text);
    const bool differ = t.startsWith(QLatin1String("pattern!="));
    if (differ || t.startsWith(QLatin1String("pattern:"))) {
        const QString bits = t.mid(differ ? 9 : 8);
        int mask = 0;
        bool ok = bits.size() == 4;
        for (int i = 0; ok && i < 4; ++i) {
            if (bits[i] == QLatin1Char('1'))
                mask |= 1 << i;
            else if (bits[i] != QLatin1Char('0'))
                ok = false;
        }
        if (!ok) {
            *error = usage;
            return false;
        }
        setup->secondKind = true;
        setup->patternMask = mask;
        setup->conditionCode = differ ? 0 : 2; // "Ｌ ≠" or "Ｈ ＝"
        return true;
    }
    const int colon = t.indexOf(QLatin1Char(':'));
    const int code = conditionOf(colon < 0 ? t : t.left(colon));
    QString channel = colon < 0 ? QString() : t.mid(colon + 1);
    if (channel.startsWith(QLatin1String("ch")))
        channel = channel.mid(2);
    if (code < 0 || channel.size() != 1 || channel[0] < QLatin1Char('1') || channel[0] > QLatin1Char('4')) {
        *error = code >= 0 && colon < 0 ? QStringLiteral("%1: a Logic trigger names its channel, %1:CH1 .. %1:CH4").arg(text)
                                        : usage;
        return false;
    }
    setup->secondKind = false;
    setup->conditionCode = code;
    setup->channel = channel[0].unicode() - '1';
    return true;
}

bool ParseLevelValue(const QString &text, int *levelScroll, QString *error)
{
    Decimal d;
    double volts = -1;
    if (SplitDecimal(text, &d)) {
        const double v = double(d.digits) / double(Pow10(d.fraction));
        if (d.unit.isEmpty() || d.unit == QLatin1String("v"))
            volts = v;
        else if (d.unit == QLatin1String("mv"))
            volts = v / 1000.0;
    }
    if (volts < 0 || volts > 5.0) {
        *error = QStringLiteral("%1: a trigger level is 0 to 5 V (2.51, 2.51V, 500mV)").arg(text);
        return false;
    }
    // 255 counts are 5 V; ties go to the even count, as every rounding here does.
    const int count = int(std::nearbyint(volts * 255.0 / 5.0));
    *levelScroll = 255 - count;
    return true;
}

bool ParseCountValue(const QString &text, int64_t minimum, int64_t maximum, int64_t *value, QString *error)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < minimum || v > maximum) {
        *error = QStringLiteral("%1: a whole number from %2 to %3 is needed").arg(text).arg(minimum).arg(maximum);
        return false;
    }
    *value = v;
    return true;
}
