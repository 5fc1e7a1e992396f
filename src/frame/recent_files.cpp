#include "frame/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

#include "app/error_report.h"
#include "app/form1.h"
#include "frame/capture_commands.h"
#include "frame/user_settings.h"

namespace {
const QString kRecent = QStringLiteral("recent/files");

QString Normalised(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
} // namespace

QStringList WithRecentFile(QStringList list, const QString &path, int limit)
{
    const QString file = Normalised(path);
    list.removeAll(file);
    list.prepend(file);
    while (list.size() > limit)
        list.removeLast();
    return list;
}

RecentFiles::RecentFiles(Form1 &form, CaptureCommands &commands, QWidget &window, QMenu *menu)
    : QObject(&window), form_(form), commands_(commands), window_(window), menu_(menu)
{
    if (auto settings = UserSettings::open()) {
        // Only names of files survive a store edited by hand: anything else,
        // and more than ten, is dropped.
        for (const QString &path : settings->value(kRecent).toStringList()) {
            if (!path.trimmed().isEmpty() && files_.size() < 10 && !files_.contains(Normalised(path)))
                files_ << Normalised(path);
        }
    }
    connect(menu_, &QMenu::aboutToShow, this, &RecentFiles::rebuildMenu);
    connect(&commands_, &CaptureCommands::fileUsed, this, &RecentFiles::add);
    watchButtons();
    rebuildMenu();
}

void RecentFiles::watchButtons()
{
    connect(&form_, &Form1::captureChanged, this, [this] { captureArrived_ = true; });
    for (QPushButton *button : {form_.Command2[0], form_.Command2[1]}) {
        connect(button, &QPushButton::pressed, this, [this] {
            pressedAt_ = QDateTime::currentDateTime();
            captureArrived_ = false;
        });
    }
    // These run after the window's own handler, which was connected first.
    connect(form_.Command2[0], &QPushButton::clicked, this, [this] {
        // An Open capture loads through this button too, from a file of its own.
        if (captureArrived_ && !commands_.importing())
            add(form_.CommonDialog1.FileName);
    });
    connect(form_.Command2[1], &QPushButton::clicked, this, [this] {
        const QFileInfo written(form_.CommonDialog1.FileName);
        // A Save that failed or was cancelled leaves no file written now.
        if (written.isFile() && pressedAt_.isValid() && written.lastModified() >= pressedAt_.addSecs(-1))
            add(written.filePath());
    });
}

void RecentFiles::add(const QString &path)
{
    files_ = WithRecentFile(files_, path);
    store();
}

void RecentFiles::clear()
{
    files_.clear();
    store();
}

void RecentFiles::open(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        files_.removeAll(path);
        store();
        ReportWarning(QStringLiteral("Open Recent"),
                      QStringLiteral("%1 is no longer there; it is taken off the list.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    commands_.open(path);
}

void RecentFiles::store() const
{
    if (auto settings = UserSettings::open())
        settings->setValue(kRecent, files_);
}

void RecentFiles::rebuildMenu()
{
    menu_->clear();
    int number = 0;
    for (const QString &path : files_) {
        ++number;
        // Numbers 1..9 and 0 as mnemonics, the file name in the menu, the whole
        // path in the tooltip and the status bar.
        QString name = QFileInfo(path).fileName();
        name.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction *a = menu_->addAction(QStringLiteral("&%1 %2").arg(number % 10).arg(name));
        a->setToolTip(QDir::toNativeSeparators(path));
        a->setStatusTip(QDir::toNativeSeparators(path));
        connect(a, &QAction::triggered, this, [this, path] { open(path); });
    }
    menu_->addSeparator();
    QAction *clearAction = menu_->addAction(QStringLiteral("Clear list"), this, &RecentFiles::clear);
    clearAction->setObjectName(QStringLiteral("actionClearRecent"));
    clearAction->setEnabled(!files_.isEmpty());
    menu_->setEnabled(true);
}
