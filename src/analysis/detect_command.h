#pragma once

#include <QTextStream>

#include "capture/capture.h"

// The command line's detection: prints one line per channel or bus of the
// capture, what it carries and, where a decoder reads it, the argument that
// decodes it:
//   CH1: UART 115200 8N1 (idle high), 100% of 18 frames check  --decode uart:rx=CH1:...
// Returns 0, or 1 (with a line saying so) when the capture holds no records.
int RunDetectCommand(const Capture &capture, QTextStream &out);
