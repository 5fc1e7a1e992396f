#include "commands/drawless_commands.h"

#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

#include "acquire/capture_command.h"
#include "acquire/capture_options.h"
#include "analysis/detect_command.h"
#include "app/app_options.h"
#include "decode/decode_command.h"
#include "export/capture_convert.h"
#include "export/capture_file_io.h"

namespace {

const char kProgram[] = "logic-analyzer";

int Fail(const QString &message, int status)
{
    std::fprintf(stderr, "%s: %s\n", kProgram, qPrintable(message));
    return status;
}

void PrintWarnings(const QStringList &warnings)
{
    for (const QString &w : warnings)
        std::fprintf(stderr, "%s: %s\n", kProgram, qPrintable(w));
}

bool IsPicture(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("png") || suffix == QLatin1String("svg");
}

int PrintUsage()
{
    std::fputs(qPrintable(AppUsageText(QString::fromLatin1(kProgram))), stdout);
    return 0;
}

int PrintVersion()
{
    std::printf("%s %s\n", kProgram, LA_VERSION);
    return 0;
}

} // namespace

bool RunDrawlessCommand(int &argc, char **argv, int *status)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (IsCaptureCommand(arguments)) {
        const CaptureOptions capture = ParseCaptureOptions(arguments);
        if (capture.help)
            *status = PrintUsage();
        else if (capture.version)
            *status = PrintVersion();
        else if (!capture.error.isEmpty())
            *status = Fail(capture.error + QStringLiteral(" (see --help)"), capture_status::kUsage);
        else
            *status = RunCaptureCommand(argc, argv, capture);
        return true;
    }

    const AppOptions options = ParseAppOptions(arguments);
    if (options.help) {
        *status = PrintUsage();
        return true;
    }
    if (options.version) {
        *status = PrintVersion();
        return true;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n\n%s", kProgram, qPrintable(options.error),
                     qPrintable(AppUsageText(QString::fromLatin1(kProgram))));
        *status = 2;
        return true;
    }
    if (!options.detectFile.isEmpty() || !options.decoders.isEmpty()) {
        const ImportResult file = ImportCaptureFile(options.decoders.isEmpty() ? options.detectFile : options.file);
        if (!file.ok) {
            *status = Fail(file.error, 1);
            return true;
        }
        PrintWarnings(file.warnings);
        QTextStream out(stdout);
        if (options.decoders.isEmpty()) {
            *status = RunDetectCommand(file.capture, out);
        } else {
            QTextStream err(stderr);
            *status = RunDecodeCommand(options.decoders, options.decodeFormat, file.capture, out, err,
                                       DecodeLimitsFromOptions(options.decodeTimeout, options.decodeMaxAnnotations));
        }
        return true;
    }
    if (!options.exportFrom.isEmpty() && !IsPicture(options.exportTo)) {
        QStringList warnings;
        QString error;
        const bool ok = ConvertCaptureFile(options.exportFrom, options.exportTo, &error, &warnings);
        // Said only once the output is written: a refused output has the one
        // line of its refusal.
        PrintWarnings(warnings);
        *status = ok ? 0 : Fail(error, 1);
        return true;
    }
    return false;
}
