// The program: options, then the framed window on the instrument's port.
#include <QGuiApplication>
#include <QScreen>
#include <QTextStream>
#include <cstdio>

#include "app/app_icon.h"
#include "app/app_options.h"
#include "app/application.h"
#include "app/error_report.h"
#include "app/form1.h"
#include "analysis/detect_command.h"
#include "decode/decode_command.h"
#include "export/capture_file_io.h"
#include "frame/capture_commands.h"
#include "frame/export_command.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "frame/port_choice.h"
#include "frame/screenshot.h"

int main(int argc, char **argv)
{
    // Options are read before the window system is reached, so --help and
    // --list-ports work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
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
        if (!file.ok) {
            std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(file.error));
            return 1;
        }
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
    if (!options.exportFrom.isEmpty())
        return RunExportCommand(argc, argv, options.exportFrom, options.exportTo);
    if (options.listPorts) {
        std::fputs(ListPortsText().toLocal8Bit().constData(), stdout);
        return 0;
    }

    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("Logic Analyzer"));
    Application::setWindowIcon(MakeAppIcon());

    Launcher launcher(options);
    QString error;
    bool errorShown = false;
    MainWindow *window = launcher.start(&error, &errorShown);
    if (!window) {
        if (errorShown)
            std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(error));
        else
            ReportError(QStringLiteral("Logic Analyzer"), error);
        return 1;
    }

    // Centred on the screen when first shown.
    window->adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        window->move(avail.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    // A session that ends (log-off, shut-down) closes the window the same way.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, window, [window] { window->form().Form_QueryUnload(); });
    window->show();
    if (!options.openFile.isEmpty())
        window->captureCommands().open(options.openFile);
    if (!options.screenshot.isEmpty())
        ScheduleScreenshot(*window, options.screenshot, options.screenshotActions);
    return app.exec();
}
