#pragma once

#include <QString>

class QWidget;

// The window's one file dialog (CommonDialog1): the properties that Save and
// Load prepare before every showing. FileName persists between uses.
struct CommonDialog {
    QString FileName;     // after a confirmed dialog the full path of the chosen file
    QString InitDir;      // set once at start-up: the current directory and a separator
    QString Filter;       // "description|pattern|"
    int FilterIndex = 0;  // selected filter entry, from 1
    int Flags = 0;        // 4 = hide read-only box, 0x200000 = long names
    bool CancelError = false;
};

// Result of showing the dialog.
enum class DialogResult { Confirmed, Cancelled };

// Shows Qt's file dialog modally as the open or the save dialog, starting in
// the folder of d.FileName with its last path part as the name field. On
// confirmation d.FileName becomes the full path of the chosen file. No default
// extension is added and no overwrite question is asked.
DialogResult ShowQtFileDialog(QWidget *parent, CommonDialog &d, bool save);

// Index of the last folder separator of a path ('\' or '/'), -1 when none.
int LastFolderSeparator(const QString &path);
