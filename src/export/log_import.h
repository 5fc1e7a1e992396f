#pragma once

#include <QByteArray>

#include "export/import_result.h"

// Reads this program's "*.log" capture file as a capture, with the meaning
// Load gives it in a window that starts in Logic mode without a capture: the
// settings line gives mode, rate, trigger, range and trigger level; the
// records the levels (and analog counts). Time stamps that go back are moved
// up to their predecessor's; what lies beyond the longest capture of the
// mode is cut off, with a message.
ImportResult ImportCaptureLog(const QByteArray &text);
