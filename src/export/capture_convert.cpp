#include "export/capture_convert.h"

#include <QDir>

#include "export/capture_file_io.h"
#include "export/capture_formats.h"

bool ConvertCaptureFile(const QString &inPath, const QString &outPath, QString *error, QStringList *warnings)
{
    // An output that cannot be written in any case is refused before the
    // input is read, so nothing is said about the input in vain.
    if (!CaptureFormatForPath(outPath)) {
        if (error)
            *error = QStringLiteral("%1 could not be written: its extension is not .log, .vcd, .csv or .sr.")
                         .arg(QDir::toNativeSeparators(outPath));
        return false;
    }
    const ImportResult in = ImportCaptureFile(inPath);
    if (!in.ok) {
        if (error)
            *error = in.error;
        return false;
    }
    if (!ExportCaptureFile(in.capture, outPath, error))
        return false;
    if (warnings)
        *warnings = in.warnings;
    return true;
}
