#pragma once

#include <QByteArray>

#include "capture/capture.h"
#include "files/capture_file.h"

// The "*.log" capture file equivalent to a capture: the settings line the
// window's Save would write for the same mode, rate, trigger, range and
// trigger level, then the records. Loading this text as Load does brings
// the capture into the window.
//
// A capture whose measurement goes on past its last record gets one
// more record at the last sample period with the values unchanged, because
// the file has no other place for the length.
QByteArray CaptureLogText(const Capture &capture);

// The settings line for a capture, encoded as the window encodes its controls.
CaptureSettings CaptureLogSettings(const Capture &capture);
