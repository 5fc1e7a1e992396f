#pragma once

#include <QByteArray>
#include <QString>

#include "capture/capture.h"
#include "export/import_result.h"

// Largest file an import reads: far beyond any capture of the instrument in
// any format, small enough to hold in memory.
inline constexpr qint64 kMaxImportFileBytes = 256LL * 1024 * 1024;

// Reads a capture from a file in the format its extension names. A refusal's
// message names the file and the reason.
ImportResult ImportCaptureFile(const QString &path);

// Writes bytes to a file whole or not at all: they go to a temporary file in
// the same folder that replaces the target only when complete, so a failure
// leaves a file that was there as it was (and creates none). A file whose
// permissions allow no writing is not replaced. False with a message naming
// the file and the reason in `error`.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error);

// Writes a capture to a file in the format its extension names, as
// WriteFileAtomically does. False with a message (naming the file and the
// reason) in `error`.
bool ExportCaptureFile(const Capture &capture, const QString &path, QString *error);
