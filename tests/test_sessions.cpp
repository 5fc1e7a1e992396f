// Session files: a capture with the analysis around it in one sigrok .sr,
// read back item by item, by sigrok-cli and by the command line, and what is
// made of entries that are damaged, newer or name decoders not installed.
// The frame's fit to the screen and the drop of a file on it.
#include <QDockWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/form1.h"
#include "export/analysis_session.h"
#include "export/capture_file_io.h"
#include "export/sigrok_session_export.h"
#include "frame/capture_commands.h"
#include "frame/session_commands.h"
#include "frame/view_navigation.h"
#include "frame/window_fit.h"
#include "panels/decoders_dock.h"
#include "panels/notes_dock.h"
#include "support/simulated_window.h"
#include "support/simulator_capture.h"

namespace {

const QString kUart = QStringLiteral("uart:rx=CH1:baudrate=115200");

void ExpectSame(const AnalysisSession &a, const AnalysisSession &b)
{
    EXPECT_EQ(a.decoders, b.decoders);
    EXPECT_EQ(a.referenceCursor, b.referenceCursor);
    EXPECT_EQ(a.measuringCursor, b.measuringCursor);
    EXPECT_EQ(a.referenceVoltageY, b.referenceVoltageY);
    EXPECT_EQ(a.measuringVoltageY, b.measuringVoltageY);
    EXPECT_EQ(a.magnificationStep, b.magnificationStep);
    EXPECT_EQ(a.viewStart, b.viewStart);
    QStringList pa = a.panels, pb = b.panels;
    pa.sort();
    pb.sort();
    EXPECT_EQ(pa, pb);
    EXPECT_EQ(a.notes, b.notes);
}

// A session file of the simulator's capture with `json` as its analysis.
QString SessionFile(const QTemporaryDir &dir, const QByteArray &json)
{
    const QString path = dir.filePath(QStringLiteral("s.sr"));
    QByteArray archive;
    QString error;
    EXPECT_TRUE(SigrokSessionBytes(SimulatorCapture(), &archive, &error, {{kAnalysisEntryName, json}}));
    EXPECT_TRUE(WriteFileAtomically(path, archive, &error)) << qPrintable(error);
    return path;
}

} // namespace

TEST(AnalysisSessionEntry, ReadsWhatMakesSenseAndNamesTheRest)
{
    AnalysisSession s;
    s.decoders = QStringList{kUart, QStringLiteral("i2c:scl=CH5:sda=CH6")};
    s.referenceCursor = 32767;
    s.measuringCursor = 0;
    s.referenceVoltageY = 300.5f;
    s.magnificationStep = 6;
    s.viewStart = 1234;
    s.panels = QStringList{QStringLiteral("notesDock")};
    s.notes = QStringLiteral("board B, 3.3 V\n測定");
    QStringList skipped;
    ExpectSame(ParseAnalysisSession(AnalysisSessionJson(s), &skipped), s);
    EXPECT_TRUE(skipped.isEmpty()) << qPrintable(skipped.join('\n'));

    // Damaged: nothing but the defaults, and one line saying so.
    ExpectSame(ParseAnalysisSession("{\"decoders\": [", &skipped), AnalysisSession());
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped.first().contains(QStringLiteral("damaged")));

    // Newer, with fields of the wrong kind: the good ones are kept.
    skipped.clear();
    const AnalysisSession r = ParseAnalysisSession(
        R"({"version": 9, "decoders": ["uart:rx=CH1", 5, ""], "timeCursors": {"reference": -3, "measuring": 77},
            "view": {"magnificationStep": 2.5, "start": 40000}, "notes": ["x"], "future": {"a": 1}})",
        &skipped);
    EXPECT_EQ(r.decoders, QStringList{QStringLiteral("uart:rx=CH1")});
    EXPECT_EQ(r.referenceCursor, 50);
    EXPECT_EQ(r.measuringCursor, 77);
    EXPECT_EQ(r.magnificationStep, 3);
    EXPECT_EQ(r.viewStart, 0);
    EXPECT_TRUE(r.notes.isEmpty());
    EXPECT_EQ(skipped.size(), 6) << qPrintable(skipped.join('\n'));
}

TEST(Sessions, ASavedSessionReopensItemByItemAndSigrokCliReadsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("analysis.sr"));
    AnalysisSession saved;
    {
        SimulatedWindow first(true);
        MainWindow &w = *first.window;
        QSignalSpy shown(&w.decoders(), &DecodersDock::resultShown);
        w.decoders().addDecoder(kUart);
        ASSERT_TRUE(shown.wait(20000));
        ViewNavigator &nav = w.navigator();
        nav.setMagnificationStep(3);
        ASSERT_TRUE(nav.placeTimeCursor(true, 1234));
        ASSERT_TRUE(nav.placeTimeCursor(false, 30000));
        nav.placeVoltageCursor(true, 320);
        nav.placeVoltageCursor(false, 430);
        nav.setMagnificationStep(1);
        nav.setViewStart(2000);
        w.notes().show();
        w.notes().setText(QStringLiteral("probe on J3"));
        saved = w.sessions().current();
        ASSERT_EQ(saved.referenceCursor, 1234);
        ASSERT_EQ(saved.measuringCursor, 30000);
        QString error;
        ASSERT_TRUE(w.sessions().saveTo(path, &error)) << qPrintable(error);
    }
    SimulatedWindow second(false);
    MainWindow &w = *second.window;
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    w.captureCommands().open(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.decoders().result() != nullptr; }, 20000));
    SetMessageSink(nullptr);
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));
    ExpectSame(w.sessions().current(), saved);
    EXPECT_EQ(w.form().state.LastSampleIndex >= 0, true);

    // Other sigrok tools see a plain capture; our own command line too.
    if (!QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty()) {
        QProcess sigrok;
        sigrok.start(QStringLiteral("sigrok-cli"), {QStringLiteral("-i"), path, QStringLiteral("-P"), kUart});
        ASSERT_TRUE(sigrok.waitForFinished(60000));
        EXPECT_EQ(sigrok.exitCode(), 0) << sigrok.readAllStandardError().toStdString();
        EXPECT_TRUE(sigrok.readAllStandardOutput().contains("uart-1: "));
    }
    for (const QString &command : {QStringLiteral("--decode"), QStringLiteral("--detect")}) {
        QProcess ours;
        QStringList args{command};
        if (command == QLatin1String("--decode"))
            args << kUart;
        ours.start(QStringLiteral(LA_APP_BINARY), args << path);
        ASSERT_TRUE(ours.waitForFinished(60000));
        EXPECT_EQ(ours.exitCode(), 0) << qPrintable(command) << ours.readAllStandardError().toStdString();
        EXPECT_FALSE(ours.readAllStandardOutput().isEmpty()) << qPrintable(command);
    }
}

TEST(Sessions, WhatCannotBeTakenIsNamedInOneMessageAndTheCaptureOpens)
{
    QTemporaryDir dir;
    SimulatedWindow sim(false);
    MainWindow &w = *sim.window;
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });

    // Two decoders that are not installed, a good one, a cursor out of range
    // and a panel this version lacks.
    w.captureCommands().open(SessionFile(
        dir, R"({"version": 1, "decoders": ["nothere:a=CH1", "uart:rx=CH1", "alsonot:b=CH2"],
                 "timeCursors": {"reference": 99999}, "panels": ["decodersDock", "spectrumDock"]})"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 20000));
    QTest::qWait(50);
    EXPECT_EQ(messages.size(), 1) << qPrintable(messages.join("\n---\n"));
    const QString text = messages.value(0);
    for (const char *named : {"nothere", "alsonot", "reference time cursor", "spectrumDock"})
        EXPECT_TRUE(text.contains(QLatin1String(named))) << named << qPrintable(text);
    EXPECT_EQ(w.decoders().decoders().size(), 1);
    EXPECT_GE(w.form().state.LastSampleIndex, 0);

    // A damaged entry: the capture still opens, one message.
    messages.clear();
    w.captureCommands().open(SessionFile(dir, QByteArray("\x00\xff{not json", 11)));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_GE(w.form().state.LastSampleIndex, 0);
    SetMessageSink(nullptr);
}

TEST(Sessions, ACaptureFileDroppedOnTheWindowOpens)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dropped.sr"));
    QString error;
    ASSERT_TRUE(ExportCaptureFile(SimulatorCapture(), path, &error));
    SimulatedWindow sim(false);
    MainWindow &w = *sim.window;
    QSignalSpy opened(&w.captureCommands(), &CaptureCommands::captureOpened);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = w.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_GE(w.form().state.LastSampleIndex, 0);

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.txt")))});
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QCoreApplication::sendEvent(&w, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST(Frame, WithEveryPanelShownTheFrameFitsLaptopAndDesktopScreens)
{
    EXPECT_EQ(FittedWindowSize({900, 1200}, {300, 200}, {16, 40}, QRect(0, 0, 1366, 768)), QSize(900, 728));
    EXPECT_EQ(FittedWindowSize({900, 1200}, {300, 800}, {16, 40}, QRect(0, 0, 1366, 768)), QSize(900, 800));

    SimulatedWindow sim(true);
    MainWindow &w = *sim.window;
    QSignalSpy shown(&w.decoders(), &DecodersDock::resultShown);
    w.decoders().addDecoders({kUart, QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH4"), QStringLiteral("i2c:scl=CH5:sda=CH6")},
                             QStringLiteral("test"));
    ASSERT_TRUE(shown.wait(20000));
    for (const char *name : {"actionDetect", "actionMeasurements", "actionNotes"})
        w.action(QLatin1String(name))->trigger();
    for (QDockWidget *dock : w.findChildren<QDockWidget *>())
        EXPECT_TRUE(dock->isVisible()) << qPrintable(dock->objectName());
    const QWidget *room = w.findChild<QWidget *>(QStringLiteral("centralRoom"));
    ASSERT_NE(room, nullptr);
    for (const QRect screen : {QRect(0, 0, 1366, 768), QRect(0, 0, 1920, 1080)}) {
        SCOPED_TRACE(screen.height());
        w.setAvailableArea(screen);
        QTest::qWait(100); // the layouts settle in turns
        const QSize outer = w.frameGeometry().size();
        EXPECT_LE(outer.width(), screen.width());
        EXPECT_LE(outer.height(), screen.height());
        EXPECT_GE(w.height(), w.minimumSizeHint().height());
        EXPECT_EQ(w.form().size(), QSize(752, 576)); // the window itself never squeezes
        // The panels give up room first: a good part of the window stays in view.
        EXPECT_GE(room->height(), std::min(576, screen.height() / 3)) << room->height();
    }
}
