#include "frame/session_commands.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

#include "app/error_report.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "export/capture_file_io.h"
#include "frame/capture_commands.h"
#include "frame/main_window.h"
#include "frame/remembered_choices.h"
#include "frame/view_navigation.h"
#include "panels/decoders_dock.h"
#include "panels/notes_dock.h"

namespace {
const QString kTitle = QStringLiteral("Open session");
constexpr int kUnitMagnificationStep = 3; // "Mag ×1": every sample has its own pixel
} // namespace

SessionCommands::SessionCommands(MainWindow &window, QMenu *file) : QObject(&window), window_(window)
{
    save_ = file->addAction(QStringLiteral("Save &session…"), this, &SessionCommands::saveSession);
    save_->setObjectName(QStringLiteral("actionSaveSession"));
    save_->setToolTip(QStringLiteral("Save the capture with its decoders, cursors, view and notes (*.sr)"));
    Form1 &form = window_.form();
    const auto follow = [this, &form] { save_->setEnabled(form.state.LastSampleIndex >= 0); };
    connect(&form, &Form1::captureChanged, this, follow);
    follow();
    connect(&window_.captureCommands(), &CaptureCommands::captureOpened, this, &SessionCommands::restoreFrom);
}

AnalysisSession SessionCommands::current() const
{
    Form1 &form = window_.form();
    AnalysisSession s;
    s.decoders = window_.decoders().decoders();
    s.referenceCursor = form.state.XRefSample;
    s.measuringCursor = form.state.XAxisSample;
    s.referenceVoltageY = form.Picture1->line(PictureBox::Line4).y1;
    s.measuringVoltageY = form.Picture1->line(PictureBox::Line5).y1;
    s.magnificationStep = form.VScroll1->value();
    s.viewStart = form.HScroll1->value();
    for (const QDockWidget *dock : window_.findChildren<QDockWidget *>()) {
        if (dock->isVisible())
            s.panels << dock->objectName();
    }
    s.notes = window_.notes().text();
    return s;
}

bool SessionCommands::saveTo(const QString &path, QString *error) const
{
    QByteArray archive;
    return SigrokSessionWithAnalysis(window_.form().capture(), current(), &archive, error) &&
           WriteFileAtomically(path, archive, error);
}

void SessionCommands::saveSession()
{
    CaptureCommands &commands = window_.captureCommands();
    QString path = commands.askFileName(QStringLiteral("Save session"), QStringLiteral("sigrok session (*.sr)"), true);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".sr"), Qt::CaseInsensitive))
        path += QStringLiteral(".sr");
    QString error;
    if (!saveTo(path, &error)) {
        ReportWarning(QStringLiteral("Save session"), error);
        return;
    }
    RememberedChoices::rememberFolder(QStringLiteral("export"), path);
    emit commands.fileUsed(path);
}

void SessionCommands::restoreFrom(const QString &path)
{
    QByteArray json;
    QString why;
    switch (ReadAnalysisEntry(path, &json, &why)) {
    case AnalysisEntry::None:
        return; // a plain capture file
    case AnalysisEntry::Unreadable:
        ReportLeftOut(kTitle, {QStringLiteral("the whole analysis (%1)").arg(why)});
        return;
    case AnalysisEntry::Found:
        break;
    }
    QStringList skipped;
    const AnalysisSession session = ParseAnalysisSession(json, &skipped);
    apply(session, skipped);
}

void SessionCommands::apply(const AnalysisSession &session, QStringList skipped)
{
    // Panels first, so the view below is set on the window as it will stay.
    const QList<QDockWidget *> docks = window_.findChildren<QDockWidget *>();
    for (const QString &name : session.panels) {
        const bool known = std::any_of(docks.begin(), docks.end(), [&](QDockWidget *d) { return d->objectName() == name; });
        if (!known)
            skipped << QStringLiteral("the panel \"%1\" (this version has none of that name)").arg(name.left(60));
    }
    for (QDockWidget *dock : docks)
        dock->setVisible(session.panels.contains(dock->objectName()));
    window_.notes().setText(session.notes);

    // The cursors are placed as the user places them, by clicks at "Mag ×1"
    // where a pixel is a sample; then the magnification and the view.
    ViewNavigator &nav = window_.navigator();
    nav.setMagnificationStep(kUnitMagnificationStep);
    if (!nav.placeTimeCursor(true, session.referenceCursor))
        skipped << QStringLiteral("the reference time cursor (sample %1 is beyond this capture's range)")
                       .arg(session.referenceCursor);
    if (!nav.placeTimeCursor(false, session.measuringCursor))
        skipped << QStringLiteral("the measuring time cursor (sample %1 is beyond this capture's range)")
                       .arg(session.measuringCursor);
    nav.placeVoltageCursor(true, session.referenceVoltageY);
    nav.placeVoltageCursor(false, session.measuringVoltageY);
    nav.setMagnificationStep(session.magnificationStep);
    nav.setViewStart(session.viewStart);

    DecodersDock &decoders = window_.decoders();
    decoders.removeAll();
    if (!session.decoders.isEmpty()) {
        decoders.addDecoders(session.decoders, kTitle, skipped); // one message, after the catalogue answers
        return;
    }
    decoders.setVisible(session.panels.contains(decoders.objectName()));
    if (!skipped.isEmpty())
        ReportLeftOut(kTitle, skipped);
}
