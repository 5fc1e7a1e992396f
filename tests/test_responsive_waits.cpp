// While a device button waits for a silent instrument the window stays alive:
// it repaints, the view scrolls and zooms, the cursors follow the mouse, and
// closing the window ends the program at once. Each scenario acts from timers
// that run inside the wait and ends the wait by answering.
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/picture_box.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "support/form_fixture.h"
#include "support/hostile_input.h"
#include "support/pty_peer.h"

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// What was seen to work while the press waited.
struct Seen {
    bool waiting = false;      // the first step ran inside the wait
    bool repainted = false;
    bool scrolled = false;
    bool zoomed = false;
    bool dragged = false;
    bool stillWaiting = false; // the last step ran inside the wait too
};

// Polls `done` from a timer inside the running wait, at most `tries` times,
// then runs `next`. No step depends on how fast the machine is.
void PollThen(QObject *context, std::function<bool()> done, std::function<void()> next, int tries = 1000)
{
    if (done() || tries <= 0) {
        next();
        return;
    }
    QTimer::singleShot(5, context, [=] { PollThen(context, done, next, tries - 1); });
}

// Schedules the checks of a responsive wait on `f`, then `answer` ends the
// wait. `expected` is the transaction state the wait is in.
void ScheduleResponsivenessChecks(Form1 &f, PaintCounter &counter, Seen &seen, const QString &expected,
                                  std::function<void()> answer)
{
    Form1 *form = &f;
    auto checks = [=, &counter, &seen] {
        seen.waiting = form->state.PendingCommand == expected;
        // A capture to look at, as a Load run inside the wait would leave it.
        SampleStore &sd = form->state.SampleData;
        sd.create(2, 1999);
        for (int32_t n = 0; n <= 1999; ++n) {
            sd.set(0, n, n * 10);
            sd.set(1, n, n & 0xFF);
        }
        form->state.LastSampleIndex = 1999;

        // Repaint.
        const int before = counter.paints;
        form->Picture1->update();
        PollThen(
            form, [&counter, before] { return counter.paints > before; },
            [=, &seen, &counter] {
                seen.repainted = counter.paints > before;

                // Scroll: the view-start scroll bar runs its handler, which redraws.
                const QString startBefore = form->Label6->text();
                form->HScroll1->setValue(std::min(500, form->HScroll1->maximum()));
                seen.scrolled = form->Label6->text() != startBefore && form->Picture1->drawnLineCount() > 0;

                // Zoom: the magnification scroll bar.
                const float magBefore = form->state.Magnification;
                form->VScroll1->setValue(form->VScroll1->value() == 0 ? 1 : 0);
                seen.zoomed = form->state.Magnification != magBefore;

                // Drag the measuring cursor with the mouse.
                const int32_t cursorBefore = form->state.XAxisSample;
                QTest::mousePress(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
                QTest::mouseMove(form->Picture1, QPoint(420, 110));
                QTest::mouseRelease(form->Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(420, 110));
                seen.dragged = form->state.XAxisSample != cursorBefore
                    && form->Picture1->line(PictureBox::Line2).x1 == 420.0f;

                seen.stillWaiting = form->state.PendingCommand == expected;
                answer();
            });
    };
    // Starts once the press has reached the wait in question.
    QTimer::singleShot(0, form, [=] {
        PollThen(form, [=] { return form->state.PendingCommand == expected; }, checks);
    });
}

void ExpectResponsive(const Seen &seen)
{
    EXPECT_TRUE(seen.waiting) << "the checks did not run inside the wait";
    EXPECT_TRUE(seen.repainted) << "no paint event reached the drawing area during the wait";
    EXPECT_TRUE(seen.scrolled) << "the view did not scroll during the wait";
    EXPECT_TRUE(seen.zoomed) << "the magnification did not change during the wait";
    EXPECT_TRUE(seen.dragged) << "the cursor did not follow the mouse during the wait";
    EXPECT_TRUE(seen.stillWaiting) << "the wait ended before it was answered";
}

const QByteArray kSettingsReply = Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03});

} // namespace

TEST(ResponsiveWaits, SetReadWaitingForASilentInstrumentKeepsTheWindowAlive)
{
    auto f = MakeDetachedForm(true);
    PaintCounter counter;
    f->Picture1->installEventFilter(&counter);
    Seen seen;
    ScheduleResponsivenessChecks(*f, counter, seen, wire::STATE_SETREAD,
                                 [&] { f->MSComm1->injectInput(kSettingsReply); });
    f->Command1[3]->click(); // waits until the timer answers
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_FALSE(f->Label5->isVisible());
    ExpectResponsive(seen);
}

TEST(ResponsiveWaits, SettingWaitingOnItsFirstStepKeepsTheWindowAlive)
{
    auto f = MakeDetachedForm(true);
    PaintCounter counter;
    f->Picture1->installEventFilter(&counter);
    Seen seen;
    // Only the first step is answered late; the instrument then acknowledges at once.
    bool answering = false;
    ScriptInstrument(*f, [&](const QByteArray &) { return answering ? Bytes({wire::ACK}) : QByteArray(); });
    ScheduleResponsivenessChecks(*f, counter, seen, wire::STATE_SET0, [&] {
        answering = true;
        f->MSComm1->injectInput(Bytes({wire::ACK}));
    });
    f->Command1[0]->click();
    EXPECT_TRUE(f->Command1[1]->isEnabled());
    ExpectResponsive(seen);
}

TEST(ResponsiveWaits, NestedDataReadOfARunKeepsTheWindowAlive)
{
    auto f = MakeDetachedForm(true);
    PaintCounter counter;
    f->Picture1->installEventFilter(&counter);
    Seen seen;
    // The run is acknowledged at once; the read then waits for the stream.
    ScriptInstrument(*f, [](const QByteArray &w) {
        return (uint8_t(w[0]) & 0x0F) == wire::CMD_RUN_FULL ? Bytes({wire::ACK}) : QByteArray();
    });
    ScheduleResponsivenessChecks(*f, counter, seen, wire::STATE_DATAREAD, [&] {
        f->MSComm1->injectInput(Bytes({0x02, 0x00, 0x00, 0x05, 0x00, 0x10, 0x04, 0x80}));
    });
    f->Command1[1]->setEnabled(true);
    f->Command1[1]->click();
    EXPECT_EQ(f->state.LastSampleIndex, 1);
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    ExpectResponsive(seen);
}

TEST(ResponsiveWaits, SilentPeerOnAPseudoTerminalKeepsTheWindowAlive)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto f = MakePtyForm(peer);
    PaintCounter counter;
    f->Picture1->installEventFilter(&counter);
    Seen seen;
    ScheduleResponsivenessChecks(*f, counter, seen, wire::STATE_SETREAD, [&] { peer.write(kSettingsReply); });
    f->Command1[3]->click();
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Combo1->currentIndex(), 2);
    ExpectResponsive(seen);
}

TEST(ResponsiveWaits, LoadDuringAWaitRunsToItsEndInsideTheWait)
{
    auto f = MakeDetachedForm(true);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("during-wait.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("13,10,5,0,1,127\r\n2\r\n0,85\r\n37,170\r\n102,85\r\n");
    }
    f->showFileDialog = [&](CommonDialog &d, bool) {
        d.FileName = path;
        return DialogResult::Confirmed;
    };
    bool loadedInsideWait = false;
    QTimer::singleShot(20, f.get(), [&] {
        const bool waiting = f->state.PendingCommand == wire::STATE_SETREAD;
        f->Command2[0]->click();
        loadedInsideWait = waiting && f->state.LastSampleIndex == 2 && f->Picture1->drawnLineCount() > 0
            && f->state.PendingCommand == wire::STATE_SETREAD;
        f->MSComm1->injectInput(kSettingsReply);
    });
    f->Command1[3]->click();
    EXPECT_TRUE(loadedInsideWait);
    EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
}

TEST(ResponsiveWaitsDeathTest, ClosingTheWindowDuringASettingWaitEndsTheProgramAtOnce)
{
    EXPECT_EXIT(
        {
            auto f = MakeDetachedForm(true);
            Form1::endProgram = [](int code) {
                std::fflush(nullptr);
                std::_Exit(code);
            };
            QTimer::singleShot(50, f.get(), [&] { f->close(); });
            f->Command1[0]->click(); // the instrument never answers
            std::_Exit(3);           // never reached
        },
        testing::ExitedWithCode(0), "");
}

TEST(ResponsiveWaitsDeathTest, ClosingTheWindowDuringTheNestedReadOfARunEndsTheProgramAtOnce)
{
    EXPECT_EXIT(
        {
            auto f = MakeDetachedForm(true);
            Form1::endProgram = [](int code) {
                std::fflush(nullptr);
                std::_Exit(code);
            };
            ScriptInstrument(*f, [](const QByteArray &w) {
                // The run is acknowledged; the read gets half a stream and then silence.
                switch (uint8_t(w[0]) & 0x0F) {
                case wire::CMD_RUN_FULL: return Bytes({wire::ACK});
                case wire::CMD_READ_LENGTH:
                case wire::CMD_READ_FULL: return Bytes({0x02, 0x00, 0x00, 0x05, 0x00});
                default: return QByteArray();
                }
            });
            Form1 *form = f.get();
            QTimer::singleShot(0, form, [form] {
                PollThen(
                    form, [form] { return form->state.PendingCommand == wire::STATE_DATAREAD; },
                    [form] {
                        if (form->state.PendingCommand != wire::STATE_DATAREAD)
                            std::_Exit(4); // never reached the nested read
                        form->close();
                    });
            });
            f->Command1[1]->setEnabled(true);
            f->Command1[1]->click();
            std::_Exit(3); // never reached
        },
        testing::ExitedWithCode(0), "");
}
