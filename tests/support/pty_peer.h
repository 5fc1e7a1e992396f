#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The instrument's end of a pseudo-terminal for tests. The pair is put into
// raw mode at once (bytes written before the application opens its side would
// otherwise pass the cooked line discipline), and the peer keeps its own slave
// descriptor open for its whole life (without one, reads on the master fail).
class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    bool ok() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }

    void write(const QByteArray &bytes);
    // Reads what arrived within timeoutMs (stops early once `want` bytes are in).
    QByteArray read(int want, int timeoutMs);

    // Scripted instrument: a thread reads the master side, cuts the bytes into
    // commands (0x0A takes one parameter byte, 0x05 and 0x07 take two) and
    // writes back what the responder returns for each command.
    using Responder = std::function<QByteArray(const QByteArray &command)>;
    void startResponder(Responder responder);
    void stopResponder();
    // Every command the scripted instrument received, in order.
    QByteArray received() const;

    // Closes the master side: to the application the device has gone away.
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    QByteArray received_;
};

class Form1;
// A started, shown window whose serial port is the peer's terminal. Closing it
// does not end the test program.
std::unique_ptr<Form1> MakePtyForm(const PtyPeer &peer);

// CPU seconds this process has used so far (user and system).
double CpuSeconds();

// Runs the event loop until pred() holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()> &pred, int timeoutMs);
