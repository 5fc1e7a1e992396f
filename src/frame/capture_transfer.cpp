#include "frame/capture_transfer.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/form1.h"
#include "export/capture_file_io.h"
#include "export/image_export.h"
#include "export/log_export.h"

bool IsImagePath(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("png") || ext == QLatin1String("svg");
}

bool ImportIntoWindow(Form1 &form, const QString &path, QString *error, QStringList *warnings)
{
    const ImportResult result = ImportCaptureFile(path);
    if (!result.ok) {
        *error = result.error;
        return false;
    }
    if (warnings)
        *warnings = result.warnings;

    // The equivalent "*.log" file, loaded by the Load button with the file
    // dialog answered by this file: the window's own Load does the rest.
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".log"));
    QString why;
    if (!dir.isValid() || !WriteFileAtomically(logPath, CaptureLogText(result.capture), &why)) {
        *error = QStringLiteral("%1 cannot be imported: no room for its temporary copy (%2).")
                     .arg(QDir::toNativeSeparators(path), why.isEmpty() ? dir.errorString() : why);
        return false;
    }
    const auto dialog = form.showFileDialog;
    const QString fileNameBefore = form.CommonDialog1.FileName;
    form.showFileDialog = [logPath](CommonDialog &d, bool) {
        d.FileName = logPath;
        return DialogResult::Confirmed;
    };
    form.Command2[0]->click();
    form.showFileDialog = dialog;
    form.CommonDialog1.FileName = fileNameBefore; // the next Load or Save opens where the user was
    return true;
}

bool ExportFromWindow(const Form1 &form, const QString &path, QString *error)
{
    if (!IsImagePath(path))
        return ExportCaptureFile(form.capture(), path, error);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString why;
    const bool svg = QFileInfo(path).suffix().toLower() == QLatin1String("svg");
    const bool made = svg ? WriteCaptureSvg(form, buffer, &why) : CaptureImage(form).save(&buffer, "PNG");
    if (!made) {
        *error = QStringLiteral("%1 could not be written: %2.")
                     .arg(QDir::toNativeSeparators(path), why.isEmpty() ? QStringLiteral("the picture could not be made") : why);
        return false;
    }
    return WriteFileAtomically(path, bytes, error);
}
