#include "export/capture_convert.h"

#include "export/capture_file_io.h"

bool ConvertCaptureFile(const QString &inPath, const QString &outPath, QString *error, QStringList *warnings)
{
    const ImportResult in = ImportCaptureFile(inPath);
    if (!in.ok) {
        if (error)
            *error = in.error;
        return false;
    }
    if (warnings)
        *warnings = in.warnings;
    return ExportCaptureFile(in.capture, outPath, error);
}
