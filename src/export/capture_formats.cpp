#include "export/capture_formats.h"

#include <QFileInfo>

#include "export/csv_export.h"
#include "export/csv_import.h"
#include "export/log_export.h"
#include "export/log_import.h"
#include "export/sigrok_session_export.h"
#include "export/sigrok_session_import.h"
#include "export/vcd_export.h"
#include "export/vcd_import.h"

std::optional<CaptureFormat> CaptureFormatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("log"))
        return CaptureFormat::Log;
    if (suffix == QLatin1String("vcd"))
        return CaptureFormat::Vcd;
    if (suffix == QLatin1String("csv"))
        return CaptureFormat::Csv;
    if (suffix == QLatin1String("sr"))
        return CaptureFormat::SigrokSession;
    return std::nullopt;
}

bool ExportCaptureBytes(CaptureFormat format, const Capture &capture, QByteArray *bytes, QString *error)
{
    switch (format) {
    case CaptureFormat::Log:
        *bytes = CaptureLogText(capture);
        return true;
    case CaptureFormat::Vcd:
        *bytes = VcdText(capture);
        return true;
    case CaptureFormat::Csv:
        *bytes = CsvText(capture);
        return true;
    case CaptureFormat::SigrokSession:
        return SigrokSessionBytes(capture, bytes, error);
    }
    return false;
}

ImportResult ImportCaptureBytes(CaptureFormat format, const QByteArray &bytes)
{
    switch (format) {
    case CaptureFormat::Log:
        return ImportCaptureLog(bytes);
    case CaptureFormat::Vcd:
        return ImportVcd(bytes);
    case CaptureFormat::Csv:
        return ImportCsv(bytes);
    case CaptureFormat::SigrokSession:
        return ImportSigrokSession(bytes);
    }
    return ImportResult::refused(QStringLiteral("its format is unknown"));
}
