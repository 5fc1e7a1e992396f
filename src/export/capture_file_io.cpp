#include "export/capture_file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include "export/capture_formats.h"
#include "files/atomic_write.h"

namespace {

QString Shown(const QString &path) { return QDir::toNativeSeparators(path); }

QString KnownExtensions() { return QStringLiteral(".log, .vcd, .csv or .sr"); }

} // namespace

ImportResult ImportCaptureFile(const QString &path)
{
    auto refuse = [&](const QString &why) {
        return ImportResult::refused(QStringLiteral("%1 cannot be imported: %2.").arg(Shown(path), why));
    };
    const auto format = CaptureFormatForPath(path);
    if (!format)
        return refuse(QStringLiteral("its extension is not %1").arg(KnownExtensions()));
    if (QFileInfo(path).isDir())
        return refuse(QStringLiteral("it is a folder"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    // In pieces, up to one byte beyond the limit: a device whose size is not
    // known in advance cannot make the import hold more than that.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min(file.size(), kMaxImportFileBytes) + 1));
    while (bytes.size() <= kMaxImportFileBytes) {
        const QByteArray piece = file.read(std::min<qint64>(1 << 20, kMaxImportFileBytes + 1 - bytes.size()));
        if (piece.isEmpty())
            break;
        bytes.append(piece);
    }
    if (file.error() != QFileDevice::NoError)
        return refuse(file.errorString());
    if (bytes.size() > kMaxImportFileBytes)
        return refuse(QStringLiteral("it is larger than %1 MiB").arg(kMaxImportFileBytes / (1024 * 1024)));
    ImportResult result = ImportCaptureBytes(*format, bytes);
    if (!result.ok)
        return refuse(result.error);
    return result;
}

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    return WriteAtomically(
        path, [&](QSaveFile &file) { return file.write(bytes) == bytes.size(); }, QStringLiteral("written"), error);
}

bool ExportCaptureFile(const Capture &capture, const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("%1 could not be written: %2.").arg(Shown(path), reason);
        return false;
    };
    const auto format = CaptureFormatForPath(path);
    if (!format)
        return fail(QStringLiteral("its extension is not %1").arg(KnownExtensions()));
    if (capture.isEmpty())
        return fail(QStringLiteral("there is no capture to write"));
    QByteArray bytes;
    QString why;
    if (!ExportCaptureBytes(*format, capture, &bytes, &why))
        return fail(why);
    return WriteFileAtomically(path, bytes, error);
}
