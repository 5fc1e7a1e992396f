#pragma once

#include <QList>
#include <QString>

class QWidget;

// A port the user can choose when the instrument's port cannot be opened.
struct PortOffer {
    QString portName; // device to open; empty for the simulated instrument
    QString label;    // what the list shows
    bool simulator = false;
};

// The serial ports of the machine, then the simulated instrument where this
// system can run it.
QList<PortOffer> PortOffers();

// The text of --list-ports: one line per serial port with its name,
// description, manufacturer and USB VID:PID.
QString ListPortsText();

// The user's answer to "the port cannot be opened: which one then?".
struct PortAnswer {
    enum Kind { Quit, Chosen, NotAsked } kind = Quit;
    PortOffer offer;
};

// Shows the error and the offers in a dialog. Under the offscreen and
// minimal platforms nobody could answer, so it returns NotAsked at once.
PortAnswer AskForPort(QWidget *parent, const QString &error, const QList<PortOffer> &offers);
