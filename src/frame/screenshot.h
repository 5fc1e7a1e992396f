#pragma once

#include <QString>
#include <QStringList>

class MainWindow;

// Takes a picture of the framed window with a capture, for the README: once
// the window is shown, it presses Setting and Run as a user would, zooms to
// "Mag 1/10", runs the steps in `actions` in order, writes the window's picture to `path` and closes
// the window.
// A step is a menu command's object name ("actionDetect"), "decode:STACK"
// (adds a decoder, -P syntax, and waits for its result), "mag:N" (value of
// the magnification bar, 0 = "Mag ×10"), "view:N" (the view start) or
// "tab:TITLE" (a tab of the decoders panel, "Byte streams");
// "rate:TEXT" chooses a sampling rate ("1MHz") before Setting;
// "reading:P" takes the picture during the read instead, once P % of the
// capture has arrived in the overview (the magnification is set first; it
// needs the simulator paced at the line speed).
void ScheduleScreenshot(MainWindow &window, const QString &path, const QStringList &actions = {});
