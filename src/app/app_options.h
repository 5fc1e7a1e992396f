#pragma once

#include <QString>
#include <QStringList>

// Command-line options. Without any, the program opens port 1 of the machine.
struct AppOptions {
    QString port;          // --port DEVICE
    bool simulate = false; // --simulate: built-in simulated instrument
    bool simPacing = true; // --sim-no-pacing turns the line pacing off
    double simTimeScale = 1.0;
    bool help = false;
    bool version = false; // --version: print the program's version and exit
    QString exportFrom, exportTo; // --export IN OUT: convert a capture file, no window
    QString openFile;             // --open FILE: start with this capture file in view
    QString detectFile;           // --detect FILE: print what each channel carries
    QStringList decoders;         // --decode SPEC (repeatable) FILE: print the annotations
    QString decodeFormat;         // --decode-format csv
    double decodeTimeout = -1;    // --decode-timeout SECONDS (0: none); -1: the default
    qint64 decodeMaxAnnotations = -1; // --decode-max-annotations N (0: none); -1: the default
    QString file;                 // the capture file of --decode
    QString screenshot;     // --screenshot FILE: picture of the window after a capture
    QStringList screenshotActions; // --screenshot-actions a,b: menu commands run before it
    bool listPorts = false; // --list-ports: print the machine's serial ports and exit
    bool noSettings = false; // --no-settings: nothing remembered is read or written
    QString error; // non-empty when the command line could not be understood
};

AppOptions ParseAppOptions(const QStringList &arguments);

// The values of --decode-timeout (seconds, 0 = no limit) and
// --decode-max-annotations (0 = no limit), shared by every command that
// decodes. False with the one-line message in `error`.
bool ParseDecodeTimeoutValue(const QString &text, double *seconds, QString *error);
bool ParseDecodeMaxAnnotationsValue(const QString &text, qint64 *count, QString *error);
QString AppUsageText(const QString &programName);
