#pragma once

#include <QString>
#include <QStringList>

// Converts a capture file into another format, each chosen by the file's
// extension: .log, .vcd, .csv or .sr. The input is read and fitted to the
// instrument as an import does (what had to be adapted is listed in
// `warnings`, which stays empty when the conversion fails); the output is
// written whole or not at all. False with a message naming the file and the
// reason in `error`; an existing output file is then left untouched.
bool ConvertCaptureFile(const QString &inPath, const QString &outPath, QString *error,
                        QStringList *warnings = nullptr);
