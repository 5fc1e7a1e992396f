#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QSerialPort;

// The serial line to the instrument (MSComm1). It is configured and opened once
// at start-up and closed at shut-down. Received bytes raise OnComm on the
// user-interface thread with the event code "data received"; writes return at
// once.
//
// Without a device (tests that script the instrument in-process) the service
// runs detached: writes are kept and handed to onWrite, and injectInput() plays
// bytes from the instrument, delivered through the event queue like real input.
class SerialPortService : public QObject {
    Q_OBJECT
public:
    enum EventCode { comEvNone = 0, comEvSend = 1, comEvReceive = 2, comEvError = 1000 };

    explicit SerialPortService(QObject *parent = nullptr);
    ~SerialPortService() override;

    // Port 1 of the machine: /dev/ttyS0 on Linux, COM1 on Windows.
    static QString defaultPortName();

    // Opens the named device at 115200 baud, 8N1, no flow control.
    bool open(const QString &deviceName, QString *error);
    // Detached operation: no device, bytes scripted by the caller.
    void openDetached();
    void close();
    bool isOpen() const;
    QString deviceName() const { return deviceName_; }

    int CommEvent() const { return lastEvent_; }
    int InBufferCount() const;
    QByteArray Input();
    // Hands the bytes to the port; returns at once.
    void Output(const QByteArray &bytes);

    // Detached mode: what was written, and bytes played as if received.
    std::function<void(const QByteArray &)> onWrite;
    QByteArray written() const { return written_; }
    void clearWritten() { written_.clear(); }
    void injectInput(const QByteArray &bytes);

    // Set when the device failed for good (unplugged adapter, closed peer).
    bool hasFailed() const { return failed_; }
    QString failureText() const { return failureText_; }

signals:
    void OnComm();
    // The device went away or failed for good.
    void deviceFailed(const QString &errorText);

private:
    void handleReadyRead();
    void handleError(int error);

    QSerialPort *port_ = nullptr;
    bool detached_ = false;
    bool failed_ = false;
    QString failureText_;
    QString deviceName_;
    int lastEvent_ = comEvNone;
    QByteArray injected_;
    QByteArray written_;
};
