#pragma once

#include <QString>

// logic-analyzer --export IN OUT.png|OUT.svg: a picture of the capture file,
// drawn by the window's own drawing area made off screen, without opening a
// port. (The data formats are converted without any window: see
// commands/drawless_commands.h.) Returns the exit status; a failure is one
// line on stderr.
int RunPictureExportCommand(int &argc, char **argv, const QString &in, const QString &out);
