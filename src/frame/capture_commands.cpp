#include "frame/capture_commands.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>

#include "app/error_report.h"
#include "app/form1.h"
#include "export/image_export.h"
#include "frame/capture_transfer.h"
#include "frame/remembered_choices.h"

CaptureCommands::CaptureCommands(Form1 &form, QWidget &window) : QObject(&window), form_(form), window_(window)
{
    // The dialogs open in the folder where the same kind of file was last
    // taken from or written to.
    askFileName = [this](const QString &title, const QString &filter, bool save) {
        const QString folder = RememberedChoices::lastFolder(save ? QStringLiteral("export") : QStringLiteral("open"));
        return save ? QFileDialog::getSaveFileName(&window_, title, folder, filter)
                    : QFileDialog::getOpenFileName(&window_, title, folder, filter);
    };
    connect(&form_, &Form1::captureChanged, this, &CaptureCommands::followCapture);
}

void CaptureCommands::addTo(QMenu *file, QMenu *exportMenu, QMenu *edit)
{
    QAction *openAction = file->addAction(QStringLiteral("&Open capture…"), this, &CaptureCommands::openCapture);
    openAction->setObjectName(QStringLiteral("actionOpenCapture"));
    openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    openAction->setToolTip(QStringLiteral("Open a capture file: *.log, or VCD, CSV and sigrok session files"));

    struct Format {
        const char *name, *text, *filter;
    } const formats[] = {
        {"actionExportVcd", "Value Change Dump (*.vcd)", "Value Change Dump (*.vcd)"},
        {"actionExportCsv", "CSV (*.csv)", "CSV (*.csv)"},
        {"actionExportSr", "sigrok session (*.sr)", "sigrok session (*.sr)"},
        {"actionExportPng", "PNG image (*.png)", "PNG image (*.png)"},
        {"actionExportSvg", "SVG image (*.svg)", "SVG image (*.svg)"},
    };
    for (const Format &f : formats) {
        const QString filter = QString::fromUtf8(f.filter);
        QAction *a = exportMenu->addAction(QString::fromUtf8(f.text), this,
                                           [this, filter] { exportAs(QStringLiteral("Export"), filter); });
        a->setObjectName(QString::fromLatin1(f.name));
        a->setToolTip(QStringLiteral("Write the capture in view as %1").arg(filter));
        needCapture_ << a;
        exportActions_.insert(filter, a);
    }
    exportMenu_ = exportMenu;
    markLastExportFormat(RememberedChoices::lastExportFormat());
    QAction *copy = edit->addAction(QStringLiteral("&Copy image"), this, &CaptureCommands::copyImage);
    copy->setObjectName(QStringLiteral("actionCopyImage"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setToolTip(QStringLiteral("Put a picture of the waveform on the clipboard"));
    needCapture_ << copy;
    followCapture();
}

void CaptureCommands::followCapture()
{
    const bool any = form_.state.LastSampleIndex >= 0;
    for (QAction *a : needCapture_)
        a->setEnabled(any);
}

void CaptureCommands::openCapture()
{
    const QString path =
        askFileName(QStringLiteral("Open capture"),
                    QStringLiteral("Captures (*.log *.vcd *.csv *.sr);;logファイル (*.log);;Value Change Dump (*.vcd);;"
                                   "CSV (*.csv);;sigrok session (*.sr)"),
                    false);
    if (!path.isEmpty())
        open(path);
}

void CaptureCommands::open(const QString &path)
{
    QString error;
    QStringList warnings;
    importing_ = true;
    const bool opened = ImportIntoWindow(form_, path, &error, &warnings);
    importing_ = false;
    if (!opened) {
        ReportWarning(QStringLiteral("Open capture"), error);
        return;
    }
    RememberedChoices::rememberFolder(QStringLiteral("open"), path);
    emit fileUsed(path);
    emit captureOpened(path);
    if (!warnings.isEmpty())
        emit importNotice(warnings.join(QLatin1Char('\n')));
}

void CaptureCommands::exportAs(const QString &title, const QString &filter)
{
    QString path = askFileName(title, filter, true);
    if (path.isEmpty())
        return;
    // The dialog's filter names the format; a name typed without it gets it.
    const int star = filter.lastIndexOf(QLatin1String("*."));
    const QString suffix = filter.mid(star + 1, filter.size() - star - 2);
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    QString error;
    if (!ExportFromWindow(form_, path, &error)) {
        ReportWarning(title, error);
        return;
    }
    RememberedChoices::rememberFolder(QStringLiteral("export"), path);
    RememberedChoices::rememberExportFormat(filter);
    markLastExportFormat(filter);
    if (!IsImagePath(path))
        emit fileUsed(path);
}

void CaptureCommands::markLastExportFormat(const QString &filter)
{
    // The format used last stands out in the menu (shown in bold).
    if (exportMenu_)
        exportMenu_->setDefaultAction(exportActions_.value(filter));
}

void CaptureCommands::copyImage() { QGuiApplication::clipboard()->setImage(CaptureImage(form_)); }
