// The serial port on a pseudo-terminal: configuration, every byte value in
// both directions, the receive event on the user-interface thread, the device
// buttons against a scripted instrument, and the program's end.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

#include "app/error_report.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"
#include "support/form_fixture.h"
#include "support/pty_peer.h"

namespace {

QByteArray AllByteValues()
{
    QByteArray b;
    for (int v = 0; v < 256; ++v)
        b.append(char(v));
    return b;
}

// An instrument that acknowledges everything and streams three records.
QByteArray WellBehaved(const QByteArray &command)
{
    switch (uint8_t(command[0]) & 0x0F) {
    case 0x6:
    case 0x7: return Bytes({0x02, 0x00, 0x00, 0x05, 0x00, 0x10, 0x04, 0x00, 0x25, 0x05, 0x80});
    case 0x8: return Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03});
    case 0xE: return Bytes({0x15});
    default: return Bytes({0x06});
    }
}

} // namespace

TEST(SerialPty, OpensAt115200EightNoParityOneStopNoFlowControl)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPortService port;
    QString error;
    ASSERT_TRUE(port.open(peer.slavePath(), &error)) << qPrintable(error);
    const int fd = ::open(peer.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, tcflag_t(0));
    EXPECT_EQ(t.c_cflag & CSTOPB, tcflag_t(0));
    EXPECT_EQ(t.c_cflag & CRTSCTS, tcflag_t(0));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

TEST(SerialPty, EveryByteValuePassesUnchangedBothWays)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPortService port;
    QString error;
    ASSERT_TRUE(port.open(peer.slavePath(), &error)) << qPrintable(error);
    QByteArray got;
    Qt::HANDLE eventThread = nullptr;
    QObject::connect(&port, &SerialPortService::OnComm, [&] {
        EXPECT_EQ(port.CommEvent(), int(SerialPortService::comEvReceive));
        eventThread = QThread::currentThreadId();
        got += port.Input();
    });
    const QByteArray all = AllByteValues();
    peer.write(all + all);
    ASSERT_TRUE(WaitUntil([&] { return got.size() >= 512; }, 5000));
    EXPECT_EQ(got, all + all);
    EXPECT_EQ(eventThread, QThread::currentThreadId()); // the user-interface thread

    port.Output(all);
    EXPECT_EQ(peer.read(256, 5000), all);
}

TEST(SerialPty, ReceivedByteReachesTheReceiveHandler)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto f = MakePtyForm(peer);
    peer.write(Bytes({0xEF}));
    EXPECT_TRUE(WaitUntil([&] { return f->Combo2->currentIndex() == 0; }, 5000));
    EXPECT_EQ(f->state.RxBytes, Bytes({0xEF}));
}

TEST(SerialPty, SettingRunReadAndSetReadThroughThePort)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto f = MakePtyForm(peer);
    peer.startResponder(WellBehaved);
    f->Command1[0]->click();
    EXPECT_EQ(peer.received(), Bytes({0xB0, 0x01, 0x32, 0x53, 0x09, 0x0A, 0x80}));
    ASSERT_TRUE(f->Command1[1]->isEnabled());
    f->Command1[1]->click();
    EXPECT_EQ(peer.received().mid(7), Bytes({0x04, 0x06}));
    EXPECT_EQ(f->state.LastSampleIndex, 2);
    EXPECT_TRUE(f->Command2[1]->isEnabled());
    f->setListIndex(f->Combo1, 5);
    f->Command1[3]->click();
    EXPECT_EQ(f->Combo1->currentIndex(), 2);
    peer.stopResponder();
}

TEST(SerialPty, RunStoppedByUserReadsTheReportedLength)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto f = MakePtyForm(peer);
    peer.startResponder([](const QByteArray &c) -> QByteArray {
        switch (uint8_t(c[0]) & 0x0F) {
        case 0x4: return {}; // still capturing
        case 0xE: return Bytes({0x02, 0x01, 0x2C, 0x03});
        case 0x7: return Bytes({0x02, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x80});
        default: return Bytes({0x06});
        }
    });
    f->Command1[0]->click();
    QTimer::singleShot(50, f.get(), [&] { f->Command1[1]->click(); });
    f->Command1[1]->click();
    EXPECT_EQ(peer.received().mid(7), Bytes({0x04, 0x0E, 0x07, 0x01, 0x2C}));
    EXPECT_EQ(f->Slider1->value(), 300);
    EXPECT_EQ(f->state.LastSampleIndex, 1);
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    peer.stopResponder();
}

TEST(SerialPty, WaitingForASilentInstrumentCostsNoCpu)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    auto f = MakePtyForm(peer);
    // Nobody answers; the settings reply comes after a second of silence.
    QTimer::singleShot(1000, f.get(), [&] { peer.write(Bytes({0x02, 0x21, 0x32, 0x53, 0x09, 0x80, 0x03})); });
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = CpuSeconds();
    f->Command1[3]->click(); // Set Read waits...
    const double cpu = CpuSeconds() - cpu0;
    EXPECT_GE(wall.elapsed(), 900);
    // A spinning wait would use about a whole second of CPU here.
    EXPECT_LT(cpu, 0.3) << "CPU seconds used while waiting";
    (void)f;
}

TEST(SerialPtyDeathTest, ClosingTheWindowDuringAWaitEndsTheProgramAtOnce)
{
    EXPECT_EXIT(
        {
            PtyPeer peer;
            Form1::endProgram = [](int code) { std::fflush(nullptr); std::_Exit(code); };
            Form1 f(PortChoice{PortChoice::Device, peer.slavePath()});
            f.Form_Load();
            f.show();
            QTimer::singleShot(100, &f, [&] { f.close(); });
            f.Command1[3]->click(); // waits for ever: the instrument is silent
            std::_Exit(3);          // never reached
        },
        testing::ExitedWithCode(0), "");
}

TEST(SerialPtyProgram, MissingDeviceEndsBeforeTheWindowWithTheDeviceNamed)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LA_APP_BINARY), {QStringLiteral("--port"), QStringLiteral("/dev/no-such-port")});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_NE(p.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("/dev/no-such-port"))) << qPrintable(err);
}

TEST(SerialPtyProgram, VanishedPortEndsTheWaitAndIsReported)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    QStringList messages;
    SetMessageSink([&](const QString &, const QString &text, bool) { messages << text; });
    auto f = MakePtyForm(peer);
    QTimer::singleShot(100, f.get(), [&] { peer.closeMaster(); });
    f->Command1[1]->setEnabled(true);
    f->Command1[1]->click(); // Run: waits for the instrument that goes away
    DeliverEvents();
    EXPECT_TRUE(f->state.PendingCommand.isEmpty());
    EXPECT_EQ(f->Command1[1]->text(), QStringLiteral("Run"));
    EXPECT_FALSE(f->Label5->isVisible());
    EXPECT_EQ(f->state.LastSampleIndex, -1);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.first().contains(peer.slavePath()));
    // From now on a press reports the closed port instead of waiting.
    messages.clear();
    f->Command1[3]->click();
    EXPECT_FALSE(messages.isEmpty());
    SetMessageSink(nullptr);
}
