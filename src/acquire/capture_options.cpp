#include "acquire/capture_options.h"

#include <QFileInfo>
#include <map>

#include "acquire/option_values.h"
#include "app/app_options.h"
#include "export/capture_formats.h"

namespace {

// Options that take a value.
const QStringList &ValueOptions()
{
    static const QStringList names{
        QStringLiteral("--capture"), QStringLiteral("--port"),  QStringLiteral("--sim-time-scale"),
        QStringLiteral("--mode"),    QStringLiteral("--rate"),  QStringLiteral("--samples"),
        QStringLiteral("--time"),    QStringLiteral("--trigger"), QStringLiteral("--level"),
        QStringLiteral("--count"),   QStringLiteral("--wait"),  QStringLiteral("--decode"),
        QStringLiteral("--decode-format"), QStringLiteral("--decode-timeout"),
        QStringLiteral("--decode-max-annotations")};
    return names;
}

// The largest --count and --wait: far beyond any bench session, small enough
// that nothing overflows.
constexpr int64_t kMaxCount = 1000000;
constexpr double kMaxWaitSeconds = 1e6;

bool ParseWait(const QString &text, double *seconds)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('s')))
        t.chop(1);
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !(v > 0) || v > kMaxWaitSeconds)
        return false;
    *seconds = v;
    return true;
}

} // namespace

bool IsCaptureCommand(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--capture") || arguments[i].startsWith(QLatin1String("--capture=")))
            return true;
    }
    return false;
}

CaptureOptions ParseCaptureOptions(const QStringList &args)
{
    CaptureOptions o;
    auto fail = [&o](const QString &message) {
        o.error = message;
        return o;
    };

    // First the words, then their values in the order they depend on each
    // other: the mode decides the rates, the rate the time, the mode the
    // triggers.
    std::map<QString, QString> last; // option -> its last value
    for (int i = 1; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 2) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        if (ValueOptions().contains(name)) {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return fail(QStringLiteral("%1 needs a value").arg(name));
                value = args[++i];
            }
            if (name == QLatin1String("--decode"))
                o.decoders << value;
            else
                last[name] = value;
            continue;
        }
        if (hasValue)
            return fail(QStringLiteral("%1 takes no value").arg(name));
        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            o.help = true;
        else if (name == QLatin1String("--version"))
            o.version = true;
        else if (name == QLatin1String("--simulate"))
            o.simulate = true;
        else if (name == QLatin1String("--no-settings")) {
            // --capture remembers nothing anyway
        }
        else if (name == QLatin1String("--sim-no-pacing"))
            o.simPacing = false;
        else if (name == QLatin1String("--quiet") || name == QLatin1String("-q"))
            o.quiet = true;
        else if (name == QLatin1String("--detect"))
            o.detect = true;
        else if (name.startsWith(QLatin1Char('-')))
            return fail(QStringLiteral("unknown option for --capture: %1").arg(name));
        else
            return fail(QStringLiteral("unexpected argument: %1 (the file to write follows --capture)").arg(name));
    }
    if (o.help || o.version)
        return o;

    auto has = [&last](const char *name) { return last.count(QLatin1String(name)) > 0; };
    auto value = [&last](const char *name) { return last.at(QLatin1String(name)); };
    QString why;

    o.output = value("--capture");
    if (o.output.isEmpty())
        return fail(QStringLiteral("--capture needs the file to write"));
    if (!CaptureFormatForPath(o.output) || QFileInfo(o.output).completeBaseName().isEmpty())
        return fail(QStringLiteral("--capture %1: the file must end in .log, .vcd, .csv or .sr").arg(o.output));
    if (has("--port"))
        o.port = value("--port");
    if (has("--port") && o.port.isEmpty())
        return fail(QStringLiteral("--port needs a device name"));
    if (o.simulate && !o.port.isEmpty())
        return fail(QStringLiteral("--simulate and --port exclude each other"));
    if (has("--sim-time-scale")) {
        bool ok = false;
        o.simTimeScale = value("--sim-time-scale").toDouble(&ok);
        if (!ok || !(o.simTimeScale >= 0) || o.simTimeScale > 1e6)
            return fail(QStringLiteral("--sim-time-scale needs a number of 0 or more"));
    }

    InstrumentSetup &s = o.setup;
    if (has("--mode")) {
        const QString mode = value("--mode").toLower();
        if (mode == QLatin1String("analog"))
            s.analog = true;
        else if (mode != QLatin1String("logic"))
            return fail(QStringLiteral("--mode %1: the mode is logic or analog").arg(value("--mode")));
    }
    s.length = s.maxLength();
    if (has("--rate") && !ParseRateValue(value("--rate"), s.analog, &s.rateIndex, &why))
        return fail(QStringLiteral("--rate ") + why);
    if (has("--samples") && has("--time"))
        return fail(QStringLiteral("--samples and --time exclude each other"));
    if (has("--samples")) {
        int64_t n = 0;
        if (!ParseCountValue(value("--samples"), 1, s.maxLength(), &n, &why))
            return fail(QStringLiteral("--samples %1 in %2 mode").arg(why, s.analog ? QStringLiteral("Analog")
                                                                                    : QStringLiteral("Logic")));
        s.length = int32_t(n);
    }
    if (has("--time")) {
        int64_t ps = 0;
        if (!ParseTimeValue(value("--time"), &ps, &why) || !PeriodsForTime(s, ps, &s.length, &why))
            return fail(QStringLiteral("--time ") + why);
    }
    if (has("--trigger") && !ParseTriggerValue(value("--trigger"), &s, &why))
        return fail(QStringLiteral("--trigger ") + why);
    if (has("--level")) {
        if (!s.analog || s.secondKind)
            return fail(QStringLiteral("--level sets the analog trigger: it needs --mode analog and a trigger "
                                       "other than free"));
        if (!ParseLevelValue(value("--level"), &s.levelScroll, &why))
            return fail(QStringLiteral("--level ") + why);
    }

    if (has("--count")) {
        int64_t n = 0;
        if (!ParseCountValue(value("--count"), 1, kMaxCount, &n, &why))
            return fail(QStringLiteral("--count ") + why);
        o.count = int(n);
    }
    if (has("--wait") && !ParseWait(value("--wait"), &o.waitSeconds))
        return fail(QStringLiteral("--wait %1: a number of seconds above 0 is needed").arg(value("--wait")));
    if (has("--decode-format")) {
        o.decodeFormat = value("--decode-format");
        if (o.decoders.isEmpty())
            return fail(QStringLiteral("--decode-format goes with --decode"));
    }
    if (has("--decode-timeout") && !ParseDecodeTimeoutValue(value("--decode-timeout"), &o.decodeTimeout, &why))
        return fail(why);
    if (has("--decode-max-annotations")
        && !ParseDecodeMaxAnnotationsValue(value("--decode-max-annotations"), &o.decodeMaxAnnotations, &why))
        return fail(why);
    if ((has("--decode-timeout") || has("--decode-max-annotations")) && o.decoders.isEmpty())
        return fail(QStringLiteral("--decode-timeout and --decode-max-annotations go with --decode"));
    return o;
}

QString CaptureOutputPath(const QString &output, int index, int count)
{
    if (count <= 0)
        return output;
    const QFileInfo info(output);
    const QString suffix = info.suffix();
    const QString stem = output.left(output.size() - suffix.size() - 1);
    const int width = int(QString::number(count).size());
    return QStringLiteral("%1-%2.%3").arg(stem).arg(index, width, 10, QLatin1Char('0')).arg(suffix);
}
