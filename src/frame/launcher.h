#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "app/app_options.h"
#include "frame/port_choice.h"

class MainWindow;
namespace sim {
class SimulatorPty;
}

// Start-up of the framed program: the port (or the simulated instrument) is
// chosen, the window is built and started with Form_Load, and the frame is
// put around it.
//
// When the program was started without --port and without --simulate and
// port 1 of the machine cannot be opened, the user is offered the ports found
// and the simulated instrument; the choice is opened by the same path.
class Launcher {
public:
    explicit Launcher(const AppOptions &options);
    ~Launcher();

    // Test seams: the question asked and the offers made.
    std::function<PortAnswer(const QString &error, const QList<PortOffer> &offers)> askForPort;
    std::function<QList<PortOffer>()> offers = PortOffers;
    // Port 1 of the machine, opened when no port was asked for.
    QString defaultPort;

    // The started window, or nullptr: then *error says why and *errorShown
    // whether the user has already seen it (in the port dialog).
    MainWindow *start(QString *error, bool *errorShown);
    MainWindow *window() const { return window_.get(); }

private:
    // Builds and starts the window on one port; false with the error text.
    bool startOn(const QString &device, bool simulated, QString *error);

    AppOptions options_;
    std::unique_ptr<sim::SimulatorPty> simulator_;
    std::unique_ptr<MainWindow> window_;
};
