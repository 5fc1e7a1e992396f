#pragma once

#include <QString>

// logic-analyzer --export IN OUT: converts a capture file into another
// format by the files' extensions, without a window on screen and without
// opening a port. Pictures are drawn by the window's own drawing area, made
// off screen. Returns the exit status; a failure is one line on stderr.
int RunExportCommand(int &argc, char **argv, const QString &in, const QString &out);
