#pragma once

#include <QString>
#include <cstdint>

#include "files/capture_file.h"

class SampleStore;

// Writes a capture file to `path` so that what is on disk is never damaged:
// the text goes into a temporary file in the same folder, which replaces the
// target only once everything has been written. A file whose permissions
// allow no writing at all counts as read-only and is never replaced, even for
// a user whom the system would let write it. No extension is added: the file
// gets exactly the name given, and an existing file is replaced without
// asking.
//
// False with a message in `error` (naming the file and the reason) when the
// file could not be written; the file that was there before is then left as
// it was, and a file that did not exist is not created.
bool SaveCaptureFile(const QString &path, const CaptureSettings &settings, int32_t lastSampleIndex,
                     const SampleStore &data, bool analog, QString *error);
