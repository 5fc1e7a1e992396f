#pragma once

#include <QString>
#include <QStringList>

class MainWindow;

// Takes a picture of the framed window with a capture, for the README: once
// the window is shown, it presses Setting and Run as a user would, zooms to
// "Mag 1/10", triggers the menu commands named in `actions` (object names
// such as "actionDetect"), writes the window's picture to `path` and closes
// the window.
void ScheduleScreenshot(MainWindow &window, const QString &path, const QStringList &actions = {});
