#include "app/app_options.h"

bool ParseDecodeTimeoutValue(const QString &text, double *seconds, QString *error)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= 0) || v > 1e6) {
        *error = QStringLiteral("--decode-timeout needs a number of seconds (0 = no limit)");
        return false;
    }
    *seconds = v;
    return true;
}

bool ParseDecodeMaxAnnotationsValue(const QString &text, qint64 *count, QString *error)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < 0) {
        *error = QStringLiteral("--decode-max-annotations needs a whole number (0 = no limit)");
        return false;
    }
    *count = v;
    return true;
}

AppOptions ParseAppOptions(const QStringList &args)
{
    AppOptions o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        // The value after an option; false (and the message) when it is missing.
        auto value = [&](QString *out, const char *needs) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("%1 needs %2").arg(a, QLatin1String(needs));
                return false;
            }
            *out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--port")) {
            if (!value(&o.port, "a device name"))
                return o;
        } else if (a.startsWith(QLatin1String("--port="))) {
            o.port = a.mid(7);
        } else if (a == QLatin1String("--export")) {
            if (i + 2 >= args.size()) {
                o.error = QStringLiteral("--export needs an input and an output file");
                return o;
            }
            o.exportFrom = args[++i];
            o.exportTo = args[++i];
        } else if (a == QLatin1String("--decode")) {
            if (!value(&v, "a value"))
                return o;
            o.decoders << v;
        } else if (a == QLatin1String("--decode-format")) {
            if (!value(&o.decodeFormat, "a value"))
                return o;
        } else if (a == QLatin1String("--decode-timeout")) {
            if (!value(&v, "a number of seconds") || !ParseDecodeTimeoutValue(v, &o.decodeTimeout, &o.error))
                return o;
        } else if (a == QLatin1String("--decode-max-annotations")) {
            if (!value(&v, "a number") || !ParseDecodeMaxAnnotationsValue(v, &o.decodeMaxAnnotations, &o.error))
                return o;
        } else if (!a.startsWith(QLatin1Char('-')) && o.file.isEmpty()) {
            o.file = a; // the capture file of --decode
        } else if (a == QLatin1String("--detect")) {
            if (!value(&o.detectFile, "a file name"))
                return o;
        } else if (a == QLatin1String("--open")) {
            if (!value(&o.openFile, "a file name"))
                return o;
        } else if (a == QLatin1String("--screenshot-actions")) {
            if (!value(&v, "a list of menu commands"))
                return o;
            o.screenshotActions = v.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (a == QLatin1String("--screenshot")) {
            if (!value(&o.screenshot, "a file name"))
                return o;
        } else if (a == QLatin1String("--list-ports")) {
            o.listPorts = true;
        } else if (a == QLatin1String("--no-settings")) {
            o.noSettings = true;
        } else if (a == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (a == QLatin1String("--sim-no-pacing")) {
            o.simPacing = false;
        } else if (a == QLatin1String("--sim-time-scale")) {
            bool ok = false;
            if (i + 1 < args.size())
                o.simTimeScale = args[++i].toDouble(&ok);
            if (!ok || o.simTimeScale < 0) {
                o.error = QStringLiteral("--sim-time-scale needs a number of 0 or more");
                return o;
            }
        } else if (a.startsWith(QLatin1String("-platform")) || a.startsWith(QLatin1String("-style"))) {
            ++i; // Qt's own options, already taken by QApplication
        } else {
            o.error = QStringLiteral("unknown option: %1").arg(a);
            return o;
        }
    }
    if (!o.file.isEmpty() && o.decoders.isEmpty())
        o.error = QStringLiteral("unknown option: %1").arg(o.file);
    else if (!o.decoders.isEmpty() && o.file.isEmpty())
        o.error = QStringLiteral("--decode needs a capture file");
    if (o.simulate && !o.port.isEmpty())
        o.error = QStringLiteral("--simulate and --port exclude each other");
    return o;
}

QString AppUsageText(const QString &program)
{
    return QStringLiteral(
               "Usage: %1 [--port DEVICE | --simulate [--sim-no-pacing] [--sim-time-scale X]]\n"
               "       %1 --export IN OUT\n"
               "       %1 --detect FILE\n"
               "       %1 --decode SPEC [--decode SPEC ...] [--decode-format csv]\n"
               "          [--decode-timeout SECONDS] [--decode-max-annotations N] FILE\n"
               "       %1 --capture OUT [--port DEVICE | --simulate] [capture options]\n"
               "       %1 --list-ports | --version | --help\n"
               "\n"
               "Front end of the 8-channel logic analyzer / 8-bit oscilloscope on a serial line.\n"
               "\n"
               "  --port DEVICE        serial device of the instrument (default: /dev/ttyS0 on Linux,\n"
               "                       COM1 on Windows), e.g. /dev/ttyUSB0 or COM4\n"
               "  --simulate           talk to the built-in simulated instrument over a\n"
               "                       pseudo-terminal instead of a real port\n"
               "  --sim-no-pacing      the simulator sends as fast as it can instead of at 115200 baud\n"
               "  --sim-time-scale X   multiply the simulated capture times by X (0 = instant)\n"
               "  --open FILE          start with the capture file FILE in view (.log, .vcd, .csv, .sr)\n"
               "  --export IN OUT      convert the capture file IN to OUT, by their extensions\n"
               "                       (.log .vcd .csv .sr -> .log .vcd .csv .sr .png .svg), no window\n"
               "  --detect FILE        print what each channel of the capture file FILE carries,\n"
               "                       with the --decode argument that decodes it, and exit\n"
               "  --decode SPEC ... FILE  decode the capture file FILE with the protocol decoder\n"
               "                       SPEC in sigrok-cli's -P syntax (uart:rx=CH1:baudrate=115200;\n"
               "                       repeat for more) and print the annotations as lines\n"
               "                       \"instance: text\"\n"
               "  --decode-format csv  print start, end, decoder, row and text instead\n"
               "  --decode-timeout SECONDS  stop decoding after SECONDS (default 30, 0 = never);\n"
               "                       a decoder's own Python code is interrupted too\n"
               "  --decode-max-annotations N  stop decoding after N annotations (default\n"
               "                       2000000, 0 = never)\n"
               "                       A stopped run prints what was decoded until then, one\n"
               "                       line on stderr naming the decoder and the limit, and\n"
               "                       ends with status 4\n"
               "  --no-settings        start without reading or writing what is remembered between\n"
               "                       runs (decoders, folders, recent files)\n"
               "  --list-ports         print the serial ports of this machine and exit\n"
               "  --screenshot FILE    measure once (Setting, Run), save a picture of the window\n"
               "                       to FILE (PNG) and quit\n"
               "  --screenshot-actions A,B  steps before that picture: menu commands (object\n"
               "                       names such as actionDetect), rate:1MHz (before Run),\n"
               "                       decode:uart:rx=CH1, mag:N (0 = Mag x10), view:N (start),\n"
               "                       tab:TITLE (of the decoders panel), reading:P (the picture\n"
               "                       during the read, once P % has arrived)\n"
               "  --version            print the program's version and exit\n"
               "  --help               show this text\n"
               "\n"
               "Capture without a window (--capture OUT; OUT ends in .log, .vcd, .csv or .sr):\n"
               "  --mode logic|analog  the instrument's mode (default logic)\n"
               "  --rate R             a rate of the mode's list, with its unit: 20MHz ... 100kHz\n"
               "                       (Logic), 20kHz ... 100Hz (Analog); default the first\n"
               "  --samples N          sample periods, 1..32767 (Logic) or 1..16383 (Analog);\n"
               "                       default the most\n"
               "  --time T             the periods that fit in T (1.5ms, 200us, 2s), at least one\n"
               "  --trigger T          Logic: rise:CHn, fall:CHn, high:CHn, low:CHn (n = 1..4),\n"
               "                       pattern:BBBB or pattern!=BBBB (CH1..CH4 as 0/1);\n"
               "                       Analog: rise, fall, high, low or free; default rise:CH1 / rise\n"
               "  --level V            analog trigger level in volts, 0..5 (default 2.51)\n"
               "  --count N            N captures one after the other into NAME-001.EXT ...\n"
               "  --wait SECONDS       no trigger by then: stop, write what was recorded, status 3\n"
               "  --decode SPEC, --decode-format csv, --decode-timeout S, --decode-max-annotations N,\n"
               "  --detect             after each capture, print what those file commands print\n"
               "  --quiet              no progress line on the terminal\n"
               "  Ctrl+C stops and writes what was recorded (status 130); a second one ends at\n"
               "  once and writes nothing. Exit status: 0 written, 1 port, instrument or file\n"
               "  failure, 2 usage, 3 no trigger within --wait.\n"
               "\n"
               "Without --port and --simulate, when port 1 cannot be opened, the program offers\n"
               "the serial ports it finds and the simulated instrument.\n"
               "\n"
               "With --simulate, Ctrl+1 ... Ctrl+5 turn the simulated instrument's input-range\n"
               "switch to x0.2, x1, x2, x4, x10 (the instrument reports it while idle).\n")
        .arg(program);
}
