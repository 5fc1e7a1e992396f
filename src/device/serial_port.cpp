#include "device/serial_port.h"

#include <QMetaObject>
#include <QSerialPort>

#include "device/port_open_error.h"

SerialPortService::SerialPortService(QObject *parent) : QObject(parent) {}

SerialPortService::~SerialPortService() { close(); }

QString SerialPortService::defaultPortName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/ttyS0");
#endif
}

bool SerialPortService::open(const QString &deviceName, QString *error)
{
    close();
    deviceName_ = deviceName;
    port_ = new QSerialPort(this);
    port_->setPortName(deviceName);
    port_->setBaudRate(QSerialPort::Baud115200);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    // No limit on the internal buffer: the whole sample stream arrives during
    // one wait without flow control, and nothing may be dropped.
    port_->setReadBufferSize(0);
    if (!port_->open(QIODevice::ReadWrite)) {
        if (error)
            *error = PortOpenErrorText(deviceName, port_->error(), port_->errorString());
        delete port_;
        port_ = nullptr;
        return false;
    }
    // Some drivers ignore settings made before opening; apply them again.
    port_->setBaudRate(QSerialPort::Baud115200);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    connect(port_, &QSerialPort::readyRead, this, &SerialPortService::handleReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { handleError(int(e)); });
    return true;
}

void SerialPortService::openDetached()
{
    close();
    detached_ = true;
    deviceName_ = QStringLiteral("(detached)");
}

void SerialPortService::close()
{
    if (port_) {
        port_->disconnect(this);
        if (port_->isOpen())
            port_->close();
        delete port_;
        port_ = nullptr;
    }
    detached_ = false;
}

bool SerialPortService::isOpen() const
{
    if (detached_)
        return true;
    return port_ && port_->isOpen() && !failed_;
}

int SerialPortService::InBufferCount() const
{
    if (detached_)
        return int(injected_.size());
    if (!port_ || !port_->isOpen())
        return 0;
    return int(port_->bytesAvailable());
}

QByteArray SerialPortService::Input()
{
    if (detached_) {
        QByteArray b;
        b.swap(injected_);
        return b;
    }
    if (!port_ || !port_->isOpen())
        return QByteArray();
    return port_->readAll();
}

void SerialPortService::Output(const QByteArray &bytes)
{
    if (detached_) {
        written_.append(bytes);
        if (onWrite)
            onWrite(bytes);
        return;
    }
    if (port_ && port_->isOpen())
        port_->write(bytes);
}

void SerialPortService::injectInput(const QByteArray &bytes)
{
    injected_.append(bytes);
    // Delivered through the event queue, as a real port's receive event is.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (injected_.isEmpty())
                return;
            lastEvent_ = comEvReceive;
            emit OnComm();
        },
        Qt::QueuedConnection);
}

void SerialPortService::handleReadyRead()
{
    lastEvent_ = comEvReceive;
    emit OnComm();
}

void SerialPortService::handleError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError)
        return;
    // Receive errors and the like arrive as another event code and are not
    // acted on; only a device that went away ends the link.
    lastEvent_ = comEvError;
    // A read or write that fails after the port said it was ready means the
    // device is gone (an adapter pulled out, a hung-up terminal): the port would
    // report the same error again at every pass of the event loop.
    if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError || e == QSerialPort::WriteError
        || e == QSerialPort::DeviceNotFoundError || e == QSerialPort::PermissionError) {
        if (!failed_) {
            failed_ = true;
            failureText_ = port_ ? port_->errorString() : QString();
            if (port_) {
                // Stop the port's notifications now; close it once its own
                // signal has returned.
                port_->blockSignals(true);
                QMetaObject::invokeMethod(
                    this, [this] { if (port_ && port_->isOpen()) port_->close(); }, Qt::QueuedConnection);
            }
            emit deviceFailed(failureText_);
        }
        return;
    }
    emit OnComm();
}
