// What the frame remembers between two starts, and what it makes of a store
// it cannot fully read. Each start uses the process's private settings folder.
#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/form1.h"
#include "frame/capture_commands.h"
#include "frame/recent_files.h"
#include "frame/remembered_choices.h"
#include "frame/user_settings.h"
#include "panels/decoders_dock.h"
#include "support/simulated_window.h"

namespace {

void ClearStore()
{
    auto settings = UserSettings::open();
    ASSERT_NE(settings, nullptr);
    settings->clear();
}

QImage WindowPixels(MainWindow &w) { return w.form().grab().toImage(); }

} // namespace

TEST(RememberedChoices, ASecondStartTakesUpTheChoicesAndTheWindowStartsAsDesigned)
{
    ClearStore();
    QImage designed;
    {
        SimulatedWindow first(false);
        ASSERT_NE(first.window, nullptr);
        designed = WindowPixels(*first.window);
        EXPECT_EQ(first.window->decoders().timeLimitSeconds(), 30);
        first.window->decoders().timeLimitBox()->setValue(7);
        first.window->action(QStringLiteral("actionAutoDetect"))->setChecked(true);
        first.window->action(QStringLiteral("actionNotes"))->trigger();
        first.window->action(QStringLiteral("actionMeasurements"))->trigger();
    }
    SimulatedWindow second(false);
    ASSERT_NE(second.window, nullptr);
    EXPECT_EQ(second.window->decoders().timeLimitSeconds(), 7);
    EXPECT_TRUE(second.window->action(QStringLiteral("actionAutoDetect"))->isChecked());
    // The panels come back where they were; the others stay hidden.
    for (const char *name : {"notesDock", "measurementsDock"})
        EXPECT_TRUE(second.window->findChild<QWidget *>(QLatin1String(name))->isVisible()) << name;
    EXPECT_FALSE(second.window->findChild<QWidget *>(QStringLiteral("detectionDock"))->isVisible());
    EXPECT_EQ(WindowPixels(*second.window), designed);
    EXPECT_EQ(second.window->form().state.LastSampleIndex, -1);
}

TEST(RememberedChoices, ValuesThatMakeNoSenseLeaveTheDefaults)
{
    ClearStore();
    {
        auto settings = UserSettings::open();
        settings->setValue(QStringLiteral("decoding/timeLimitSeconds"), QStringLiteral("soon"));
        settings->setValue(QStringLiteral("analysis/detectAfterEveryCapture"), QStringLiteral("maybe"));
        settings->setValue(QStringLiteral("folders/export"), QStringLiteral("/no/such/folder"));
        settings->setValue(QStringLiteral("window/panels"), QByteArray("\x00\x00\x00\xffgarbage", 11));
        settings->setValue(QStringLiteral("window/geometry"), QStringLiteral("tall"));
    }
    SimulatedWindow w(false);
    ASSERT_NE(w.window, nullptr);
    EXPECT_FALSE(w.window->sizedByUser());
    for (QDockWidget *dock : w.window->findChildren<QDockWidget *>())
        EXPECT_FALSE(dock->isVisible()) << qPrintable(dock->objectName());
    EXPECT_EQ(w.window->decoders().timeLimitSeconds(), 30);
    EXPECT_FALSE(w.window->action(QStringLiteral("actionAutoDetect"))->isChecked());
    EXPECT_TRUE(RememberedChoices::lastFolder(QStringLiteral("export")).isEmpty());
    {
        // Out of range: the panel's own bounds.
        UserSettings::open()->setValue(QStringLiteral("decoding/timeLimitSeconds"), 99999);
    }
    SimulatedWindow again(false);
    EXPECT_EQ(again.window->decoders().timeLimitSeconds(), 3600);
}

TEST(RememberedChoices, AnExportRemembersItsFolderAndFormat)
{
    ClearStore();
    QTemporaryDir dir;
    SimulatedWindow w(true);
    ASSERT_NE(w.window, nullptr);
    CaptureCommands &commands = w.window->captureCommands();
    const QString path = dir.filePath(QStringLiteral("capture"));
    commands.askFileName = [&](const QString &, const QString &, bool) { return path; };
    commands.exportAs(QStringLiteral("Export"), QStringLiteral("CSV (*.csv)"));
    EXPECT_EQ(RememberedChoices::lastFolder(QStringLiteral("export")), dir.path());
    EXPECT_EQ(RememberedChoices::lastExportFormat(), QStringLiteral("CSV (*.csv)"));
    auto *exportMenu = w.window->findChild<QMenu *>(QStringLiteral("menuExport"));
    ASSERT_NE(exportMenu, nullptr);
    ASSERT_NE(exportMenu->defaultAction(), nullptr);
    EXPECT_EQ(exportMenu->defaultAction()->objectName(), QStringLiteral("actionExportCsv"));

    commands.open(path + QStringLiteral(".csv"));
    EXPECT_EQ(RememberedChoices::lastFolder(QStringLiteral("open")), dir.path());
}

TEST(RememberedChoices, ThePortChosenLastIsOfferedFirst)
{
    const QList<PortOffer> offers{{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("USB0"), false},
                                  {QStringLiteral("/dev/ttyUSB1"), QStringLiteral("USB1"), false},
                                  {QString(), QStringLiteral("Simulated instrument"), true}};
    auto order = [](const QList<PortOffer> &list) {
        QStringList labels;
        for (const PortOffer &o : list)
            labels << o.label;
        return labels.join(QLatin1Char(','));
    };
    EXPECT_EQ(order(RememberedChoices::lastChosenFirst(offers, QStringLiteral("simulated"))),
              QStringLiteral("Simulated instrument,USB0,USB1"));
    EXPECT_EQ(order(RememberedChoices::lastChosenFirst(offers, QStringLiteral("/dev/ttyUSB1"))),
              QStringLiteral("USB1,USB0,Simulated instrument"));
    // A port that is not there any more, or nothing remembered: as found.
    EXPECT_EQ(order(RememberedChoices::lastChosenFirst(offers, QStringLiteral("/dev/gone"))),
              order(offers));
    EXPECT_EQ(order(RememberedChoices::lastChosenFirst(offers, QString())), order(offers));

    ClearStore();
    RememberedChoices::rememberPort(offers.at(2));
    EXPECT_EQ(RememberedChoices::lastPortKey(), QStringLiteral("simulated"));
}

TEST(RememberedChoices, DecodersComeBackOnTheFirstCaptureAndUnknownOnesAreSkipped)
{
    ClearStore();
    const QString uart = QStringLiteral("uart:rx=CH1:baudrate=115200");
    {
        SimulatedWindow first(true);
        ASSERT_NE(first.window, nullptr);
        QSignalSpy shown(&first.window->decoders(), &DecodersDock::resultShown);
        first.window->decoders().addDecoder(uart);
        ASSERT_TRUE(shown.wait(20000));
        ASSERT_EQ(first.window->decoders().decoders().size(), 1);
    }
    const QString remembered = UserSettings::open()->value(QStringLiteral("decoding/decoders")).toStringList().value(0);
    ASSERT_FALSE(remembered.isEmpty());
    {
        // Nothing is added before a capture is there.
        SimulatedWindow idle(false);
        QTest::qWait(50);
        EXPECT_TRUE(idle.window->decoders().decoders().isEmpty());
        EXPECT_FALSE(idle.window->decoders().isDecoding());
    }
    UserSettings::open()->setValue(QStringLiteral("decoding/decoders"),
                                   QStringList{QStringLiteral("no-such-decoder:x=CH1"), remembered});
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    SimulatedWindow second(true);
    ASSERT_NE(second.window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.window->decoders().result() != nullptr; }, 20000));
    SetMessageSink(nullptr);
    EXPECT_EQ(second.window->decoders().decoders(), QStringList{remembered});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("no-such-decoder"))) << qPrintable(messages.first());
}

TEST(RecentFiles, NewestFirstNoTwiceAtMostTen)
{
    QStringList list;
    for (int i = 0; i < 12; ++i)
        list = WithRecentFile(list, QStringLiteral("/tmp/f%1.log").arg(i));
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list.first(), QStringLiteral("/tmp/f11.log"));
    EXPECT_EQ(list.last(), QStringLiteral("/tmp/f2.log"));
    list = WithRecentFile(list, QStringLiteral("/tmp/./f5.log"));
    EXPECT_EQ(list.first(), QStringLiteral("/tmp/f5.log"));
    EXPECT_EQ(list.count(QStringLiteral("/tmp/f5.log")), 1);
    EXPECT_EQ(list.size(), 10);
}

TEST(RecentFiles, SavedLoadedOpenedAndExportedFilesAreListedAndKept)
{
    ClearStore();
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.log"));
    const QString exported = dir.filePath(QStringLiteral("exported.vcd"));
    {
        SimulatedWindow w(true);
        ASSERT_NE(w.window, nullptr);
        Form1 &form = w.window->form();
        QString answer = saved;
        form.showFileDialog = [&](CommonDialog &d, bool) {
            d.FileName = answer;
            return DialogResult::Confirmed;
        };
        form.Command2[1]->click(); // Save
        form.Command2[0]->click(); // Load the same file
        w.window->captureCommands().askFileName = [&](const QString &, const QString &, bool) { return exported; };
        w.window->captureCommands().exportAs(QStringLiteral("Export"), QStringLiteral("Value Change Dump (*.vcd)"));
        w.window->captureCommands().exportAs(QStringLiteral("Export"), QStringLiteral("PNG image (*.png)"));
        // Opening the VCD loads a .log of its own through Load: only the VCD is listed.
        w.window->captureCommands().open(exported);
        answer = dir.filePath(QStringLiteral("missing/none.log"));
        form.Command2[1]->click(); // a Save that fails lists nothing
        EXPECT_EQ(w.window->recentFiles().files(), (QStringList{exported, saved}));
    }
    SimulatedWindow again(false);
    RecentFiles &recent = again.window->recentFiles();
    ASSERT_EQ(recent.files(), (QStringList{exported, saved}));
    auto *menu = again.window->findChild<QMenu *>(QStringLiteral("menuRecent"));
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("&1 exported.vcd"));

    ASSERT_TRUE(QFile::remove(saved));
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    recent.open(saved);
    recent.open(exported);
    SetMessageSink(nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("saved.log")));
    EXPECT_EQ(recent.files(), QStringList{exported});
    EXPECT_GE(again.window->form().state.LastSampleIndex, 0); // the VCD opened

    recent.clear();
    EXPECT_TRUE(UserSettings::open()->value(QStringLiteral("recent/files")).toStringList().isEmpty());
}
