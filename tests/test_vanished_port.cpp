// A serial device that goes away (adapter pulled out, peer hung up): after the
// failure the program sleeps when idle instead of spinning on the dead port,
// every device button reports the closed port and returns, and a wait that
// was in progress, even the read nested in a Run, ends cleanly.
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <memory>

#include "app/error_report.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "support/form_fixture.h"
#include "support/hostile_input.h"
#include "support/pty_peer.h"

namespace {

// Runs the event loop for about a second, idle, and returns the CPU time it took.
double CpuOfOneIdleSecond()
{
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    const double before = CpuSeconds();
    loop.exec();
    return CpuSeconds() - before;
}

struct Messages {
    QStringList texts;
    Messages() { SetMessageSink([this](const QString &, const QString &t, bool) { texts << t; }); }
    ~Messages() { SetMessageSink(nullptr); }
};

// Presses a Run that waits for the instrument until the peer goes away.
void RunUntilThePortVanishes(Form1 &f, PtyPeer &peer)
{
    QTimer::singleShot(100, &f, [&] { peer.closeMaster(); });
    f.Command1[1]->setEnabled(true);
    f.Command1[1]->click();
    DeliverEvents();
}

} // namespace

TEST(VanishedPort, AfterTheFailureTheIdleProgramDoesNotSpin)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    Messages messages;
    auto f = MakePtyForm(peer);
    RunUntilThePortVanishes(*f, peer);
    ASSERT_TRUE(f->MSComm1->hasFailed());
    // A dead descriptor still watched by the event loop would make it spin
    // at a whole core; sleeping costs next to nothing.
    const double cpu = CpuOfOneIdleSecond();
    EXPECT_LT(cpu, 0.5) << "CPU seconds used by one idle second after the port vanished";
    EXPECT_FALSE(messages.texts.isEmpty());
}

TEST(VanishedPort, EveryDeviceButtonAfterTheFailureReportsAndReturns)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    Messages messages;
    auto f = MakePtyForm(peer);
    RunUntilThePortVanishes(*f, peer);
    ASSERT_TRUE(f->MSComm1->hasFailed());
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE("button " + std::to_string(i) + ", round " + std::to_string(round));
            f->Command1[i]->setEnabled(true);
            const qsizetype before = messages.texts.size();
            f->Command1[i]->click(); // must return: nothing can answer any more
            DeliverEvents();
            EXPECT_GT(messages.texts.size(), before) << "the closed port was not reported";
            EXPECT_TRUE(f->state.PendingCommand.isEmpty());
            EXPECT_FALSE(f->Label5->isVisible());
            EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
        }
        // The Run button in its Stop state, as if a capture had been running.
        f->Command1[1]->setText(QStringLiteral("Stop"));
        f->Command1[1]->click();
        DeliverEvents();
        EXPECT_TRUE(f->state.PendingCommand.isEmpty());
        f->Command1[1]->setText(QStringLiteral("Run"));
    }
    // The view handlers still work on whatever is held.
    f->HScroll1_Change();
    EXPECT_LT(CpuOfOneIdleSecond(), 0.5);
}

TEST(VanishedPort, PortVanishingDuringTheNestedReadOfARunEndsBothWaits)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    Messages messages;
    auto f = MakePtyForm(peer);
    // The run is acknowledged; the read gets two records and a half, then the
    // device goes away.
    peer.startResponder([](const QByteArray &c) -> QByteArray {
        switch (uint8_t(c[0]) & 0x0F) {
        case wire::CMD_RUN_FULL: return Bytes({wire::ACK});
        case wire::CMD_READ_FULL:
        case wire::CMD_READ_LENGTH: return Bytes({0x02, 0x00, 0x00, 0x05, 0x00, 0x10, 0x04, 0x00});
        default: return QByteArray();
        }
    });
    Form1 *form = f.get();
    std::function<void()> watch = [&] {
        if (form->state.PendingCommand == wire::STATE_DATAREAD && form->state.LastSampleIndex >= 2) {
            peer.closeMaster();
            return;
        }
        QTimer::singleShot(5, form, watch);
    };
    QTimer::singleShot(0, form, watch);
    f->Command1[1]->setEnabled(true);
    f->Command1[1]->click();
    DeliverEvents();
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_FALSE(f->Label5->isVisible());
    EXPECT_TRUE(f->MSComm1->hasFailed());
    // The records that arrived stay; nothing points past them.
    EXPECT_EQ(f->state.LastSampleIndex, 2);
    EXPECT_EQ(hostile::ReceiveInvariantViolation(*f), "");
    f->HScroll1_Change();
    EXPECT_FALSE(messages.texts.isEmpty());
    EXPECT_LT(CpuOfOneIdleSecond(), 0.5);
}
