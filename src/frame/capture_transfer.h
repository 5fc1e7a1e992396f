#pragma once

#include <QString>
#include <QStringList>

class Form1;

// Captures leaving and entering the window in the formats of other tools.

// Brings a capture file (.log, .vcd, .csv, .sr) into the window: the file
// is read and fitted to the instrument, then loaded the way the Load button
// loads the equivalent "*.log" file, so the settings, the store and the
// redraw are those of Load. A refused file changes nothing: false with the
// reason in `error`. `warnings` lists what was left out or adapted.
bool ImportIntoWindow(Form1 &form, const QString &path, QString *error, QStringList *warnings);

// Writes the capture in view to `path` in the format its extension names:
// .vcd, .csv, .sr or .log from the capture, .png or .svg as a picture of the
// drawing area. Atomic: a failure leaves an existing file as it was.
bool ExportFromWindow(const Form1 &form, const QString &path, QString *error);

// True for the extensions ExportFromWindow writes as pictures.
bool IsImagePath(const QString &path);
