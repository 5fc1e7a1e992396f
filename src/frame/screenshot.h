#pragma once

#include <QString>

class MainWindow;

// Takes a picture of the framed window with a capture, for the README: once
// the window is shown, it presses Setting and Run as a user would, zooms to
// "Mag 1/10", writes the window's picture to `path` and closes the window.
void ScheduleScreenshot(MainWindow &window, const QString &path);
