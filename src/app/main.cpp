#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <cstdio>
#include <memory>

#include "app/app_icon.h"
#include "app/app_options.h"
#include "app/application.h"
#include "app/error_report.h"
#include "app/form1.h"
#include "sim/pty_transport.h"

#if defined(Q_OS_UNIX)
using sim::SimulatorPty;
#define LA_HAVE_SIMULATOR 1
#endif

int main(int argc, char **argv)
{
    // Options are read before the window system is reached, so --help works
    // without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const AppOptions options = ParseAppOptions(arguments);
    if (options.help) {
        std::fputs(qPrintable(AppUsageText(QStringLiteral("logic-analyzer"))), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "logic-analyzer: %s\n\n%s", qPrintable(options.error),
                     qPrintable(AppUsageText(QStringLiteral("logic-analyzer"))));
        return 2;
    }

    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("Logic Analyzer"));
    Application::setWindowIcon(MakeAppIcon());

    PortChoice port;
    port.deviceName = options.port;

    // The simulated instrument sits on the master side of a pseudo-terminal;
    // the program opens the other side as it opens any serial port.
#ifdef LA_HAVE_SIMULATOR
    std::unique_ptr<SimulatorPty> simulator;
    if (options.simulate) {
        simulator = std::make_unique<SimulatorPty>();
        simulator->setPacing(options.simPacing);
        simulator->setTimeScale(options.simTimeScale);
        QString error;
        if (!simulator->start(&error)) {
            ReportError(QStringLiteral("Logic Analyzer"),
                        QStringLiteral("The simulated instrument cannot be started: %1").arg(error));
            return 1;
        }
        port.deviceName = simulator->slavePath();
    }
#else
    if (options.simulate) {
        ReportError(QStringLiteral("Logic Analyzer"),
                    QStringLiteral("The simulated instrument needs pseudo-terminals, which this system lacks."));
        return 1;
    }
#endif

    Form1 form(port);
    try {
        form.Form_Load();
    } catch (const FatalError &e) {
        ReportError(QStringLiteral("Logic Analyzer"), QString::fromLocal8Bit(e.what()));
        return 1;
    }

#ifdef LA_HAVE_SIMULATOR
    if (simulator) {
        for (int position = 0; position < 5; ++position) {
            auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + position)), &form);
            SimulatorPty *sim = simulator.get();
            QObject::connect(shortcut, &QShortcut::activated, &form,
                             [sim, position] { sim->reportRangeSwitch(position); });
        }
    }
#endif

    // Centred on the screen when first shown.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        form.move(avail.center() - QPoint(form.width() / 2, form.height() / 2));
    }
    // A session that ends (log-off, shut-down) closes the window the same way.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_QueryUnload(); });
    form.show();
    return app.exec();
}
