#include "frame/launcher.h"

#include <QKeySequence>
#include <QShortcut>

#include "app/error_report.h"
#include "app/form1.h"
#include "device/serial_port.h"
#include "frame/main_window.h"
#include "frame/remembered_choices.h"

#if defined(Q_OS_UNIX)
#include "sim/pty_transport.h"
#define LA_HAVE_SIMULATOR 1
#else
namespace sim {
class SimulatorPty {};
} // namespace sim
#endif

Launcher::Launcher(const AppOptions &options)
    : defaultPort(SerialPortService::defaultPortName()), options_(options)
{
    askForPort = [](const QString &error, const QList<PortOffer> &offers) {
        return AskForPort(nullptr, error, offers);
    };
}

Launcher::~Launcher()
{
    window_.reset(); // the window closes its port before the simulator goes
}

MainWindow *Launcher::start(QString *error, bool *errorShown)
{
    *errorShown = false;
    const bool portGiven = !options_.port.isEmpty();
    QString device = portGiven ? options_.port : defaultPort;
    bool simulated = options_.simulate;
    while (!startOn(device, simulated, error)) {
        // Only the machine's port 1, taken by default, is open to a choice:
        // a port or simulator that was asked for by name fails as asked.
        if (portGiven || options_.simulate)
            return nullptr;
        // The port chosen last time is offered first.
        const PortAnswer answer =
            askForPort(*error, RememberedChoices::lastChosenFirst(offers(), RememberedChoices::lastPortKey()));
        if (answer.kind != PortAnswer::Chosen) {
            *errorShown = answer.kind == PortAnswer::Quit;
            return nullptr;
        }
        RememberedChoices::rememberPort(answer.offer);
        device = answer.offer.portName;
        simulated = answer.offer.simulator;
    }
    return window_.get();
}

bool Launcher::startOn(const QString &device, bool simulated, QString *error)
{
    PortChoice port{PortChoice::Device, device};
    QString portText = device;
    if (simulated) {
#ifdef LA_HAVE_SIMULATOR
        simulator_ = std::make_unique<sim::SimulatorPty>();
        simulator_->setPacing(options_.simPacing);
        simulator_->setTimeScale(options_.simTimeScale);
        QString simError;
        if (!simulator_->start(&simError)) {
            simulator_.reset();
            *error = QStringLiteral("The simulated instrument cannot be started: %1").arg(simError);
            return false;
        }
        port.deviceName = simulator_->slavePath();
        portText = QStringLiteral("simulated instrument");
#else
        *error = QStringLiteral("The simulated instrument needs pseudo-terminals, which this system lacks.");
        return false;
#endif
    }

    auto form = std::make_unique<Form1>(port);
    try {
        form->Form_Load();
    } catch (const FatalError &e) {
        *error = QString::fromLocal8Bit(e.what());
        if (simulated)
            simulator_.reset();
        return false;
    }
    window_ = std::make_unique<MainWindow>(form.release(), portText);
    RememberedChoices::attach(*window_);

#ifdef LA_HAVE_SIMULATOR
    if (simulator_) {
        // Ctrl+1 ... Ctrl+5 turn the simulated instrument's range switch.
        for (int position = 0; position < 5; ++position) {
            auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + position)), window_.get());
            sim::SimulatorPty *sim = simulator_.get();
            QObject::connect(shortcut, &QShortcut::activated, window_.get(),
                             [sim, position] { sim->reportRangeSwitch(position); });
        }
    }
#endif
    return true;
}
