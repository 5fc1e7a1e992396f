#pragma once

#include <QObject>
#include <QString>

#include "export/analysis_session.h"

class MainWindow;
class QAction;
class QMenu;

// File → Save session…: the capture in view as a sigrok session file that
// also carries the analysis around it (decoders, cursors, view, panels
// shown, notes). Opening such a file by any way (Open capture, Open Recent,
// --open, a drop on the window) brings all of it back; what cannot be taken
// is named in one message.
class SessionCommands : public QObject {
    Q_OBJECT
public:
    SessionCommands(MainWindow &window, QMenu *file);

    QAction *saveAction() const { return save_; }
    void saveSession();
    // Writes the session file; false with the reason in `error`.
    bool saveTo(const QString &path, QString *error) const;
    // The analysis around the capture in view, as a session keeps it.
    AnalysisSession current() const;
    // Brings back what a capture file opened from `path` carries, if anything.
    void restoreFrom(const QString &path);
    void apply(const AnalysisSession &session, QStringList skipped);

private:
    MainWindow &window_;
    QAction *save_;
};
