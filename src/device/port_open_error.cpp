#include "device/port_open_error.h"

#include <QFileInfo>

namespace {

const QLatin1String kListPortsHint("logic-analyzer --list-ports lists the serial ports of this machine.");

#if defined(Q_OS_UNIX)
// True when the node's permissions, not another program, keep us out. Qt words
// a refused open(2) as "Permission denied"; the node is looked at as well, since
// a translated text would not match.
bool AccessRefused(const QString &device, const QString &qtErrorString)
{
    if (qtErrorString.contains(QLatin1String("Permission denied"), Qt::CaseInsensitive))
        return true;
    const QFileInfo node(device);
    return node.exists() && !(node.isReadable() && node.isWritable());
}
#endif

} // namespace

QString PortOpenErrorText(const QString &device, QSerialPort::SerialPortError error, const QString &qtErrorString)
{
    // The reason is followed by our own sentences; system texts may end in a full stop.
    QString reason = qtErrorString.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    if (reason.isEmpty())
        reason = QStringLiteral("unknown error");
    switch (error) {
    case QSerialPort::PermissionError:
#if defined(Q_OS_UNIX)
        if (AccessRefused(device, qtErrorString)) {
            QString group = QFileInfo(device).group();
            if (group.isEmpty())
                group = QStringLiteral("dialout"); // what Debian and most others use for serial ports
            return QStringLiteral(
                       "%1.\n\n"
                       "Only members of the group \"%2\", which owns %3, may use it. Add yourself to it with\n\n"
                       "    sudo usermod -aG %2 $USER\n\n"
                       "then log out and log in again: the new group counts from the next login. %4")
                .arg(reason, group, device, kListPortsHint);
        }
#endif
        // Qt reports a port that another program holds or has locked the same way.
        return QStringLiteral("%1. Another program is probably using %2; close it and try again.")
            .arg(reason, device);
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1. There is no device %2: is the instrument plugged in? %3")
            .arg(reason, device, kListPortsHint);
    default:
        return reason;
    }
}
