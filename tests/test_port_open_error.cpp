// What the user reads when the instrument's port cannot be opened: a node
// they may not open names its group and how to join it; other failures give
// the reason.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/error_report.h"
#include "app/form1.h"
#include "device/port_open_error.h"
#include "device/serial_port.h"
#include "support/pty_peer.h"

namespace {

// The group that owns the file, as the system names it.
QString OwningGroup(const QString &path)
{
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return QString();
    const group *g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}

void ExpectGroupAdvice(const QString &text, const QString &device, const QString &group)
{
    ASSERT_FALSE(group.isEmpty());
    EXPECT_TRUE(text.contains(device)) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("group \"%1\"").arg(group))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(group))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("log out"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("--list-ports"))) << qPrintable(text);
}

} // namespace

TEST(PortOpenError, PermissionDeniedNamesTheGroupThatOwnsTheDevice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile node(device);
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    // As root, give it the serial ports' usual group, as udev does.
    const group *dialout = geteuid() == 0 ? ::getgrnam("dialout") : nullptr;
    if (dialout) {
        ASSERT_EQ(::chown(device.toLocal8Bit().constData(), 0, dialout->gr_gid), 0);
    }
    const QString text = PortOpenErrorText(device, QSerialPort::PermissionError, QStringLiteral("Permission denied"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Permission denied."))) << qPrintable(text);
    ExpectGroupAdvice(text, device, OwningGroup(device));
}

TEST(PortOpenError, OtherFailuresGiveTheReason)
{
    const QString missing = PortOpenErrorText(QStringLiteral("/dev/ttyUSB7"), QSerialPort::DeviceNotFoundError,
                                              QStringLiteral("No such file or directory"));
    EXPECT_TRUE(missing.contains(QStringLiteral("No such file or directory"))) << qPrintable(missing);
    EXPECT_TRUE(missing.contains(QStringLiteral("/dev/ttyUSB7"))) << qPrintable(missing);
    EXPECT_TRUE(missing.contains(QStringLiteral("--list-ports"))) << qPrintable(missing);

    // Qt reports a port locked by another program as a permission error too;
    // the node itself is open to us, so joining a group would not help.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath(QStringLiteral("ttyACM0"));
    QFile node(device);
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    const QString locked = PortOpenErrorText(device, QSerialPort::PermissionError,
                                             QStringLiteral("Permission error while locking the device"));
    EXPECT_TRUE(locked.contains(QStringLiteral("locking the device"))) << qPrintable(locked);
    EXPECT_TRUE(locked.contains(QStringLiteral("Another program"))) << qPrintable(locked);
    EXPECT_FALSE(locked.contains(QStringLiteral("usermod"))) << qPrintable(locked);
}

TEST(PortOpenError, UnreadableDeviceStopsStartUpWithTheGroupAdvice)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "device permissions do not bind the superuser";
    Form1::endProgram = [](int) {};
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    const QString device = peer.slavePath();
    ASSERT_TRUE(QFile::setPermissions(device, QFileDevice::Permissions()));
    Form1 f(PortChoice{PortChoice::Device, device});
    QString message;
    try {
        f.Form_Load();
    } catch (const FatalError &e) {
        message = QString::fromLocal8Bit(e.what());
    }
    QFile::setPermissions(device, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::WriteGroup);
    EXPECT_TRUE(message.startsWith(QStringLiteral("The serial port %1 cannot be opened: ").arg(device)))
        << qPrintable(message);
    ExpectGroupAdvice(message, device, OwningGroup(device));
    EXPECT_FALSE(f.MSComm1->isOpen());
}
