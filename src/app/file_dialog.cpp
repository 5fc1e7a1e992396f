#include "app/file_dialog.h"

#include <QFileDialog>

int LastFolderSeparator(const QString &path)
{
    for (int i = int(path.size()) - 1; i >= 0; --i)
        if (path[i] == QLatin1Char('\\') || path[i] == QLatin1Char('/'))
            return i;
    return -1;
}

DialogResult ShowQtFileDialog(QWidget *parent, CommonDialog &d, bool save)
{
    QFileDialog dlg(parent);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setOption(QFileDialog::DontUseNativeDialog, false);
    dlg.setDefaultSuffix(QString());
    // The filter is "description|pattern|"; Qt wants "description".
    const QString description = d.Filter.section(QLatin1Char('|'), 0, 0);
    dlg.setNameFilter(description.isEmpty() ? QStringLiteral("*.log") : description);
    const int sep = LastFolderSeparator(d.FileName);
    if (sep >= 0) {
        dlg.setDirectory(d.FileName.left(sep + 1));
        dlg.selectFile(d.FileName.mid(sep + 1));
    } else {
        dlg.selectFile(d.FileName);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return DialogResult::Cancelled;
    d.FileName = dlg.selectedFiles().first();
    return DialogResult::Confirmed;
}
