#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class Form1;
class QAction;
class QMenu;
class QWidget;

// File → Open capture…, File → Export ▸ and Edit → Copy image: the capture in
// view leaves the window in the formats other tools read, and their files
// come in as a Load would bring a "*.log" file.
class CaptureCommands : public QObject {
    Q_OBJECT
public:
    CaptureCommands(Form1 &form, QWidget &window);

    // Adds the commands to the menus; export and copy follow whether a
    // capture is in view.
    void addTo(QMenu *file, QMenu *exportMenu, QMenu *edit);

    // Asks for a file name (empty = cancelled). Tests replace it.
    std::function<QString(const QString &title, const QString &filter, bool save)> askFileName;

    void openCapture();
    // Imports the file into the window. A refusal is shown in a message;
    // what was left out or adapted of a file that opens goes out as
    // importNotice, for the status bar, and keeps nobody waiting.
    void open(const QString &path);
    void exportAs(const QString &title, const QString &filter);
    void copyImage();

    // True while Open capture loads its file through the window's Load.
    bool importing() const { return importing_; }

signals:
    void importNotice(const QString &text);
    // A capture file was opened, or exported in a format this program reads.
    void fileUsed(const QString &path);
    // A capture file was opened and is in view (what it carries beside the
    // capture may now be restored).
    void captureOpened(const QString &path);

private:
    void followCapture();
    void markLastExportFormat(const QString &filter);

    Form1 &form_;
    QWidget &window_;
    QList<QAction *> needCapture_;
    QMenu *exportMenu_ = nullptr;
    bool importing_ = false;
    QHash<QString, QAction *> exportActions_; // by the format's filter
};
