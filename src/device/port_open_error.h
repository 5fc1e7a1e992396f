#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial device could not be opened, in words that tell the user what to
// do about it; it completes "The serial port DEVICE cannot be opened: ".
//
// On Linux a USB adapter's node (/dev/ttyUSB0, /dev/ttyACM0) belongs to a group,
// usually dialout, and only its members may open it: the text names the group
// read from the node and the command that adds the user to it. A port that is
// merely busy or locked by another program (Qt reports that as a permission
// error too) is said to be in use instead.
QString PortOpenErrorText(const QString &device, QSerialPort::SerialPortError error, const QString &qtErrorString);
