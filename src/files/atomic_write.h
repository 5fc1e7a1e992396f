#pragma once

#include <QString>
#include <functional>

class QSaveFile;

// Writes a file so that it is either replaced whole or left as it was: the
// text goes to a temporary file that takes the target's place only when all
// of it is written. A folder or a read-only file is refused before anything
// is written. `write` fills the open file and returns false on a failed
// write. On failure `error` reads "<path> could not be <failedVerb>: <reason>."
// ("saved", "written").
bool WriteAtomically(const QString &path, const std::function<bool(QSaveFile &)> &write, const QString &failedVerb,
                     QString *error);
