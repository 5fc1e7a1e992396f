#pragma once

#include "acquire/capture_options.h"

// Exit statuses of the capture command.
namespace capture_status {
constexpr int kWritten = 0;      // every capture written (and decoded, with --decode)
constexpr int kFailure = 1;      // the port, the instrument or a file failed
constexpr int kUsage = 2;        // the command line is not understood
constexpr int kTriggerTimeout = 3; // --wait ran out: what was recorded is written
constexpr int kInterrupted = 130;  // Ctrl+C: what was recorded is written
} // namespace capture_status

// logic-analyzer --capture: sets the instrument up as the Setting button
// does, then runs and reads back as the Run button does, `count` times,
// writing each capture to its file; with --decode or --detect prints what
// those file commands print for each file. No window and no window system:
// a QCoreApplication, the serial port and the files. Messages are one line on
// stderr, prefixed with the program's name; returns the exit status.
int RunCaptureCommand(int &argc, char **argv, const CaptureOptions &options);
