#pragma once

#include <QDateTime>
#include <QObject>
#include <QStringList>

class CaptureCommands;
class Form1;
class QMenu;
class QWidget;

// The newest first list of capture files, without the same file twice and
// at most `limit` long, after `path` was used.
QStringList WithRecentFile(QStringList list, const QString &path, int limit = 10);

// File → Open Recent: the last ten capture files opened, loaded, saved or
// exported in a format this program reads, newest first. The list is kept in
// the settings store (for this run only with --no-settings). A file that is
// gone is taken off the list with a message; "Clear list" empties it.
class RecentFiles : public QObject {
    Q_OBJECT
public:
    RecentFiles(Form1 &form, CaptureCommands &commands, QWidget &window, QMenu *menu);

    QStringList files() const { return files_; }
    void add(const QString &path);
    void clear();
    // Opens the file through Open capture; a file that is gone is removed.
    void open(const QString &path);

private:
    void rebuildMenu();
    void store() const;
    // Load and Save go through the window's own buttons and dialog: what they
    // read or wrote is noted once the button's handler has run.
    void watchButtons();

    Form1 &form_;
    CaptureCommands &commands_;
    QWidget &window_;
    QMenu *menu_;
    QStringList files_;
    QDateTime pressedAt_;
    bool captureArrived_ = false;
};
