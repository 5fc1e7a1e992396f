// The window program: the framed window on the instrument's port, pictures
// of capture files and the list of ports. The commands that draw nothing run
// without a window system (commands/drawless_commands.h); where the program
// is one file (Windows), they run here too.
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "app/app_icon.h"
#include "app/app_options.h"
#include "app/application.h"
#include "app/error_report.h"
#include "app/form1.h"
#include "commands/drawless_commands.h"
#include "frame/capture_commands.h"
#include "frame/export_command.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "frame/port_choice.h"
#include "frame/screenshot.h"
#include "frame/user_settings.h"

int main(int argc, char **argv)
{
    // Options are read before the window system is reached, so --help and
    // --list-ports work without a display.
    int status = 0;
    if (RunDrawlessCommand(argc, argv, &status))
        return status;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const AppOptions options = ParseAppOptions(arguments);
    if (options.noSettings)
        UserSettings::disable();
    if (!options.exportFrom.isEmpty())
        return RunPictureExportCommand(argc, argv, options.exportFrom, options.exportTo);
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
