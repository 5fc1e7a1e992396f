// The program as scripts and desktops start it: `logic-analyzer`.
//
// The commands that draw nothing (--capture, --detect, --decode, --export to
// a data format, --help, --version) run here, in a program that links no
// window system, fonts or widgets, so each starts like a command-line tool.
// Everything else (the window, --open, --screenshot, picture exports,
// --list-ports) is the window program's, which this one becomes with the same
// arguments.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <process.h>
#else
#include <unistd.h>
#endif

#include "acquire/capture_command.h"
#include "analysis/detect_command.h"
#include "app/app_options.h"
#include "decode/decode_command.h"
#include "export/capture_convert.h"
#include "export/capture_file_io.h"

namespace {

int Fail(const QString &message, int status)
{
    std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(message));
    return status;
}

bool IsPicture(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("png") || suffix == QLatin1String("svg");
}

// Replaces this process by the window program: beside this one in a build
// tree, in the installation's libexec folder otherwise.
int BecomeWindowProgram(int argc, char **argv)
{
    QString folder;
    {
        QCoreApplication self(argc, argv);
        folder = QCoreApplication::applicationDirPath();
    }
    const QString name = QStringLiteral("logic-analyzer-window");
    QString program;
    for (const QString &candidate : {folder + QLatin1Char('/') + name,
                                     folder + QStringLiteral("/" LA_WINDOW_PROGRAM_FROM_BIN "/") + name}) {
        if (QFileInfo(candidate).isExecutable()) {
            program = QDir::cleanPath(candidate);
            break;
        }
    }
    if (program.isEmpty())
        return Fail(QStringLiteral("the window program %1 is not installed beside %2").arg(name, folder), 1);
    const QByteArray path = QDir::toNativeSeparators(program).toLocal8Bit();
#ifdef Q_OS_WIN
    _execv(path.constData(), argv);
#else
    execv(path.constData(), argv);
#endif
    return Fail(QStringLiteral("%1 cannot be started: %2").arg(program, QString::fromLocal8Bit(std::strerror(errno))),
                1);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (IsCaptureCommand(arguments)) {
        const CaptureOptions capture = ParseCaptureOptions(arguments);
        if (capture.help) {
            std::fputs(qPrintable(AppUsageText(QStringLiteral("logic-analyzer"))), stdout);
            return 0;
        }
        if (capture.version) {
            std::printf("logic-analyzer %s\n", LA_VERSION);
            return 0;
        }
        if (!capture.error.isEmpty())
            return Fail(capture.error + QStringLiteral(" (see --help)"), capture_status::kUsage);
        return RunCaptureCommand(argc, argv, capture);
    }

    const AppOptions options = ParseAppOptions(arguments);
    if (options.help) {
        std::fputs(qPrintable(AppUsageText(QStringLiteral("logic-analyzer"))), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("logic-analyzer %s\n", LA_VERSION);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "logic-analyzer: %s\n\n%s", qPrintable(options.error),
                     qPrintable(AppUsageText(QStringLiteral("logic-analyzer"))));
        return 2;
    }
    if (!options.detectFile.isEmpty() || !options.decoders.isEmpty()) {
        const ImportResult file = ImportCaptureFile(options.decoders.isEmpty() ? options.detectFile : options.file);
        if (!file.ok)
            return Fail(file.error, 1);
        for (const QString &w : file.warnings)
            std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(w));
        QTextStream out(stdout);
        if (options.decoders.isEmpty())
            return RunDetectCommand(file.capture, out);
        QTextStream err(stderr);
        DecodeLimits limits;
        if (options.decodeTimeout >= 0)
            limits.timeLimitSeconds = options.decodeTimeout;
        if (options.decodeMaxAnnotations >= 0)
            limits.annotationLimit = options.decodeMaxAnnotations;
        return RunDecodeCommand(options.decoders, options.decodeFormat, file.capture, out, err, limits);
    }
    if (!options.exportFrom.isEmpty() && !IsPicture(options.exportTo)) {
        QStringList warnings;
        QString error;
        const bool ok = ConvertCaptureFile(options.exportFrom, options.exportTo, &error, &warnings);
        for (const QString &w : warnings)
            std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(w));
        return ok ? 0 : Fail(error, 1);
    }
    return BecomeWindowProgram(argc, argv);
}
