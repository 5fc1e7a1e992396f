#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "capture/capture.h"
#include "export/import_result.h"

// The file formats a capture is written to and read from.
enum class CaptureFormat {
    Log,           // "*.log", this program's own capture file
    Vcd,           // "*.vcd", Value Change Dump
    Csv,           // "*.csv", comma-separated values
    SigrokSession, // "*.sr", sigrok session
};

// The format a file name's extension names (case does not matter).
std::optional<CaptureFormat> CaptureFormatForPath(const QString &path);

// The file's bytes in a format. False with a reason in `error` when they
// cannot be made.
bool ExportCaptureBytes(CaptureFormat format, const Capture &capture, QByteArray *bytes, QString *error);

// A capture read from a file's bytes in a format.
ImportResult ImportCaptureBytes(CaptureFormat format, const QByteArray &bytes);
