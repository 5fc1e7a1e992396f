// The frame around the window: the window inside it unchanged, menus that
// follow the buttons, wheel and keys on the drawing area, the read-back
// progress, the port choice at start-up and --list-ports.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "app/app_options.h"
#include "app/picture_box.h"
#include "device/serial_port.h"
#include "frame/launcher.h"
#include "frame/main_window.h"
#include "frame/read_progress.h"
#include "frame/status_panel.h"
#include "frame/view_navigation.h"
#include "support/form_fixture.h"
#include "support/pty_peer.h"
#include "support/simulated_window.h"

namespace {

std::unique_ptr<MainWindow> MakeFramedForm()
{
    auto window = std::make_unique<MainWindow>(MakeDetachedForm(false).release(), QStringLiteral("test port"));
    window->show();
    DeliverEvents();
    return window;
}

// A Logic stream with a change every `every` periods up to `length`.
QByteArray LogicStream(int every, int length)
{
    QByteArray s(1, char(0x02));
    for (int t = 0, k = 0; t < length; t += every, ++k) {
        s.append(char(t >> 8));
        s.append(char(t & 0xFF));
        s.append(char(uint8_t(k * 37 + (k >> 3))));
    }
    s.append(char(0x80));
    return s;
}

// The instrument's answer to each command the window writes.
QByteArray Answer(const QByteArray &written, const QByteArray &stream)
{
    switch (uint8_t(written[0]) & 0x0F) {
    case 0x06:
    case 0x07: return stream;
    case 0x0E: return Bytes({0x02, 0x03, 0x00, 0x03}); // stopped after 768 periods
    default: return Bytes({0x06});
    }
}

// A top-level window grabs opaque, a child with alpha: compare the pixels.
QImage Pixels(QWidget *w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

void Capture(Form1 &form, const QByteArray &stream)
{
    ScriptInstrument(form, [stream](const QByteArray &w) { return Answer(w, stream); });
    form.Command1[0]->click(); // Setting
    form.Command1[1]->click(); // Run, then the read
    DeliverEvents();
}

TEST(Frame, WindowInsideTheFrameIsPixelIdenticalToTheWindowAlone)
{
    auto alone = MakeDetachedForm(true);
    auto framed = MakeFramedForm();
    Form1 &inner = framed->form();
    // With the overview hidden the frame is menu bar, window and status bar;
    // shown, the band above the window adds its height and nothing else.
    QWidget *overview = framed->findChild<QWidget *>(QStringLiteral("overviewBand"));
    ASSERT_NE(overview, nullptr);
    const int bare = framed->menuBar()->height() + 576 + framed->statusBar()->height();
    EXPECT_EQ(framed->height(), bare + overview->height());
    EXPECT_GT(overview->height(), 0);
    framed->action(QStringLiteral("actionOverview"))->trigger();
    DeliverEvents();
    EXPECT_EQ(inner.size(), QSize(752, 576));
    EXPECT_EQ(framed->height(), bare);
    EXPECT_EQ(framed->windowTitle(), QStringLiteral("Logic Analyzer"));
    EXPECT_EQ(Pixels(alone.get()), Pixels(&inner));

    const QByteArray stream = LogicStream(7, 32767);
    Capture(*alone, stream);
    Capture(inner, stream);
    ASSERT_GT(inner.state.LastSampleIndex, 4000);
    EXPECT_EQ(Pixels(alone.get()), Pixels(&inner));
    framed->action(QStringLiteral("actionOverview"))->trigger();
    DeliverEvents();
    EXPECT_EQ(inner.size(), QSize(752, 576));
    EXPECT_EQ(Pixels(alone.get()), Pixels(&inner));

    inner.Option4[1]->setChecked(true); // the mode switch renames the frame too
    EXPECT_EQ(framed->windowTitle(), inner.windowTitle());
}

TEST(Frame, MenuCommandsMirrorTheirButtonsAlsoInsideWaits)
{
    auto window = MakeFramedForm();
    Form1 &form = window->form();
    const std::pair<const char *, QPushButton *> pairs[] = {
        {"actionLoad", form.Command2[0]},    {"actionSave", form.Command2[1]},    {"actionSetting", form.Command1[0]},
        {"actionRun", form.Command1[1]},     {"actionSetRead", form.Command1[3]}, {"actionDataRead", form.Command1[2]},
    };
    int checks = 0;
    auto check = [&] {
        for (const auto &[name, button] : pairs) {
            QAction *a = window->action(QString::fromLatin1(name));
            ASSERT_NE(a, nullptr) << name;
            EXPECT_EQ(a->isEnabled(), button->isEnabled()) << name << " at check " << checks;
        }
        ++checks;
    };

    const QByteArray stream = LogicStream(5, 768);
    bool stopped = false;
    ScriptInstrument(form, [&](const QByteArray &w) {
        check(); // inside the press, before the answer
        if ((uint8_t(w[0]) & 0x0F) == 0x04 && !stopped) {
            // No ACK for the Run: the user stops it from the menu while it waits.
            QTimer::singleShot(10, window.get(), [&] {
                check();
                QMenu *menu = window->findChild<QMenu *>(QStringLiteral("menuInstrument"));
                emit menu->aboutToShow();
                EXPECT_EQ(window->action(QStringLiteral("actionRun"))->text(), QStringLiteral("&Stop"));
                stopped = true;
                window->action(QStringLiteral("actionRun"))->trigger();
            });
            return QByteArray();
        }
        return Answer(w, stream);
    });
    check();
    EXPECT_FALSE(window->action(QStringLiteral("actionRun"))->isEnabled());
    window->action(QStringLiteral("actionSetting"))->trigger();
    check();
    EXPECT_TRUE(window->action(QStringLiteral("actionRun"))->isEnabled());
    window->action(QStringLiteral("actionRun"))->trigger();
    check();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(form.state.LastSampleIndex, 768 / 5 - 1 + 1);
    EXPECT_TRUE(window->action(QStringLiteral("actionSave"))->isEnabled());
    EXPECT_EQ(window->action(QStringLiteral("actionRun"))->text(), QStringLiteral("&Run"));
    EXPECT_GE(checks, 12);
}

// Two framed windows holding the same capture: one driven by wheel and keys
// on the drawing area, the other by the scroll bars' own actions.
struct NavigationPair {
    std::unique_ptr<MainWindow> a = MakeFramedForm(), b = MakeFramedForm();
    NavigationPair()
    {
        const QByteArray stream = LogicStream(3, 32767);
        Capture(a->form(), stream);
        Capture(b->form(), stream);
        a->form().Picture1->setFocus();
    }
    void expectSame(const char *what)
    {
        Form1 &fa = a->form(), &fb = b->form();
        EXPECT_EQ(fa.HScroll1->value(), fb.HScroll1->value()) << what;
        EXPECT_EQ(fa.state.Magnification, fb.state.Magnification) << what;
        EXPECT_EQ(fa.Label1->text(), fb.Label1->text()) << what;
        EXPECT_EQ(Pixels(fa.Picture1), Pixels(fb.Picture1)) << what;
    }
};

void Wheel(QWidget *w, int delta, Qt::KeyboardModifiers mods, QPointF at = QPointF(300, 100))
{
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

TEST(Frame, WheelAndKeysOnTheDrawingAreaMatchTheScrollBars)
{
    NavigationPair p;
    Form1 &fa = p.a->form(), &fb = p.b->form();
    const int lines = QApplication::wheelScrollLines();
    struct Step {
        const char *what;
        std::function<void()> onA, onB;
    } steps[] = {
        {"right", [&] { QTest::keyClick(fa.Picture1, Qt::Key_Right); },
         [&] { fb.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"page down", [&] { QTest::keyClick(fa.Picture1, Qt::Key_PageDown); },
         [&] { fb.HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd); }},
        {"wheel towards the user", [&] { Wheel(fa.Picture1, -120, Qt::NoModifier); },
         [&] { for (int i = 0; i < lines; ++i) fb.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"shift+wheel away", [&] { Wheel(fa.Picture1, 120, Qt::ShiftModifier); },
         [&] { for (int i = 0; i < lines; ++i) fb.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub); }},
        {"left", [&] { QTest::keyClick(fa.Picture1, Qt::Key_Left); },
         [&] { fb.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub); }},
        {"plus", [&] { QTest::keyClick(fa.Picture1, Qt::Key_Plus); },
         [&] { fb.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub); }},
        {"page up", [&] { QTest::keyClick(fa.Picture1, Qt::Key_PageUp); },
         [&] { fb.HScroll1->triggerAction(QAbstractSlider::SliderPageStepSub); }},
        {"minus", [&] { QTest::keyClick(fa.Picture1, Qt::Key_Minus); },
         [&] { fb.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"home", [&] { QTest::keyClick(fa.Picture1, Qt::Key_Home); },
         [&] { fb.HScroll1->triggerAction(QAbstractSlider::SliderToMinimum); }},
        {"end", [&] { QTest::keyClick(fa.Picture1, Qt::Key_End); },
         [&] { fb.HScroll1->setValue(ViewStartShowingEnd(32767, fb.state.Magnification, fb.HScroll1->maximum())); }},
    };
    for (const Step &s : steps) {
        s.onA();
        s.onB();
        p.expectSame(s.what);
    }
    EXPECT_GT(fa.HScroll1->value(), 30000); // the end of the capture is in view

    // Ctrl+wheel zooms one step and keeps the sample under the pointer.
    const double x = 440;
    const double before = fa.HScroll1->value() + (x - 40) / fa.state.Magnification;
    Wheel(fa.Picture1, 120, Qt::ControlModifier, QPointF(x, 100));
    const int startB = fb.HScroll1->value();
    const float magB = fb.state.Magnification;
    fb.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    fb.HScroll1->setValue(ViewStartKeepingSample(startB, magB, x - 40, fb.state.Magnification, fb.HScroll1->maximum()));
    p.expectSame("ctrl+wheel");
    EXPECT_EQ(fa.Label1->text(), QStringLiteral("Mag ×2"));
    const double after = fa.HScroll1->value() + (x - 40) / fa.state.Magnification;
    EXPECT_NEAR(after, before, 0.5 / fa.state.Magnification);

    // The keys belong to the drawing area: the focused slider keeps Home.
    const int view = fa.HScroll1->value();
    fa.Slider1->setFocus();
    QTest::keyClick(fa.Slider1, Qt::Key_Home);
    EXPECT_EQ(fa.Slider1->value(), 0);
    EXPECT_EQ(fa.HScroll1->value(), view);
}

TEST(Frame, ViewArithmetic)
{
    // Zooming from x1 to x2 with the pointer 400 px into the field at start 1000.
    EXPECT_EQ(ViewStartKeepingSample(1000, 1.0f, 400, 2.0f, 32422), 1200);
    EXPECT_EQ(ViewStartKeepingSample(1000, 1.0f, 400, 0.5f, 31387), 600);
    EXPECT_EQ(ViewStartKeepingSample(100, 1.0f, 400, 0.5f, 31387), 0);      // clamped at the start
    EXPECT_EQ(ViewStartKeepingSample(32000, 1.0f, 600, 10.0f, 32698), 32540);
    EXPECT_EQ(ViewStartKeepingSample(32500, 1.0f, 600, 10.0f, 32698), 32698); // and at the end
    EXPECT_EQ(ViewStartShowingEnd(32768, 1.0f, 32077), 32077);
    EXPECT_EQ(ViewStartShowingEnd(1000, 1.0f, 32077), 309);
    EXPECT_EQ(ViewStartShowingEnd(100, 0.1f, 25867), 0);
    EXPECT_EQ(ViewStartShowingEnd(0, 1.0f, 32077), 32077);
}

TEST(Frame, ReadProgressNeverShowsCompleteBeforeTheEndByte)
{
    EXPECT_EQ(ReadProgressPercent(false, 0, 32767), 0);
    EXPECT_EQ(ReadProgressPercent(false, 16383, 32767), 49);
    EXPECT_EQ(ReadProgressPercent(false, 32767, 32767), 99);
    EXPECT_EQ(ReadProgressPercent(false, 40000, 100), 99);
    EXPECT_EQ(ReadProgressPercent(false, 10, 0), 0);
    EXPECT_EQ(ReadProgressPercent(true, 0, 32767), 100);
}

TEST(Frame, ProgressReachesCompleteAtTheEndByteOfAPacedReadAndGoesWhenIdle)
{
    SimulatedWindow sim(/*capture=*/false, /*paced=*/true); // captures take no time
    MainWindow *window = sim.window;
    ASSERT_NE(window, nullptr);
    Form1 &form = window->form();
    StatusPanel &status = window->status();
    EXPECT_EQ(status.portText(), QStringLiteral("simulated instrument"));
    form.Command1[0]->click();
    ASSERT_TRUE(form.Command1[1]->isEnabled());

    std::vector<int> whileReading;
    int atEnd = -1;
    QTimer sampler;
    sampler.setInterval(5);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (form.state.PendingCommand == QLatin1String("dataread") && status.progressVisible())
            whileReading.push_back(status.progressValue());
    });
    // The first redraw after the end byte is the read's own.
    QObject::connect(&form, &Form1::viewChanged, [&] {
        if (atEnd < 0 && form.state.PendingCommand.isEmpty() && form.state.LastSampleIndex > 0)
            atEnd = status.progressVisible() ? status.progressValue() : -2;
    });
    sampler.start();
    form.Command1[1]->click(); // Run, then the paced read (about 0.2 s)
    sampler.stop();

    ASSERT_GE(whileReading.size(), 5u);
    for (int v : whileReading)
        EXPECT_LT(v, 100);
    EXPECT_GT(*std::max_element(whileReading.begin(), whileReading.end()), 0);
    EXPECT_EQ(atEnd, 100);
    EXPECT_FALSE(status.progressVisible());
    EXPECT_TRUE(status.transactionText().isEmpty());
    EXPECT_TRUE(status.captureText().startsWith(QStringLiteral("Logic  20MHz  "))) << qPrintable(status.captureText());
}

TEST(Frame, PortOneMissingOffersTheSimulatorOrQuit)
{
    Form1::endProgram = [](int) {};
    AppOptions options;
    QString error;
    bool shown = false;
    {
        Launcher launcher(options);
        launcher.defaultPort = QStringLiteral("/dev/no-such-port");
        QString asked;
        launcher.askForPort = [&](const QString &e, const QList<PortOffer> &offers) {
            asked = e;
            EXPECT_TRUE(offers.last().simulator);
            return PortAnswer{PortAnswer::Chosen, offers.last()};
        };
        MainWindow *w = launcher.start(&error, &shown);
        ASSERT_NE(w, nullptr) << qPrintable(error);
        EXPECT_TRUE(asked.contains(QStringLiteral("/dev/no-such-port"))) << qPrintable(asked);
        EXPECT_EQ(w->portText(), QStringLiteral("simulated instrument"));
        w->form().Command1[0]->click(); // the simulator answers the settings
        EXPECT_TRUE(w->form().Command1[1]->isEnabled());
    }
    {
        Launcher launcher(options);
        launcher.defaultPort = QStringLiteral("/dev/no-such-port");
        launcher.askForPort = [](const QString &, const QList<PortOffer> &) { return PortAnswer{PortAnswer::Quit, {}}; };
        EXPECT_EQ(launcher.start(&error, &shown), nullptr);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(error.contains(QStringLiteral("/dev/no-such-port")));
    }
    {
        // Under the offscreen platform nothing waits on the dialog.
        Launcher launcher(options);
        launcher.defaultPort = QStringLiteral("/dev/no-such-port");
        EXPECT_EQ(launcher.start(&error, &shown), nullptr);
        EXPECT_FALSE(shown);
    }
    {
        // A port named on the command line fails as asked, without a question.
        AppOptions named;
        named.port = QStringLiteral("/dev/no-such-port");
        Launcher launcher(named);
        bool asked = false;
        launcher.askForPort = [&](const QString &, const QList<PortOffer> &) {
            asked = true;
            return PortAnswer{PortAnswer::Quit, {}};
        };
        EXPECT_EQ(launcher.start(&error, &shown), nullptr);
        EXPECT_FALSE(asked);
    }
}

TEST(Frame, ListPortsPrintsThePortsAndExits)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    QProcess p;
    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--list-ports")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("PORT")) || out == QStringLiteral("No serial ports found.\n"))
        << qPrintable(out);
}

TEST(Frame, NoSettingsIsAnOptionOfTheWindowProgram)
{
    const AppOptions o = ParseAppOptions({QStringLiteral("logic-analyzer"), QStringLiteral("--no-settings"),
                                          QStringLiteral("--simulate")});
    EXPECT_TRUE(o.error.isEmpty()) << qPrintable(o.error);
    EXPECT_TRUE(o.noSettings);
    EXPECT_TRUE(o.simulate);
    EXPECT_FALSE(ParseAppOptions({QStringLiteral("logic-analyzer")}).noSettings);
    EXPECT_TRUE(AppUsageText(QStringLiteral("logic-analyzer")).contains(QStringLiteral("--no-settings")));
}

} // namespace
