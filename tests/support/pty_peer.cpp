#include "support/pty_peer.h"

#include "app/form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer()
{
    stopResponder();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyPeer::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray PtyPeer::read(int want, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (out.size() < want && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, n);
        }
    }
    return out;
}

static int parameterBytes(uint8_t first)
{
    switch (first & 0x0F) {
    case 0x0A: return 1;
    case 0x05:
    case 0x07: return 2;
    default: return 0;
    }
}

void PtyPeer::startResponder(Responder responder)
{
    stopResponder();
    stop_ = false;
    thread_ = std::thread([this, responder] {
        QByteArray pending;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
                continue;
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.append(buf, n);
            while (!pending.isEmpty()) {
                const int need = 1 + parameterBytes(uint8_t(pending[0]));
                if (pending.size() < need)
                    break;
                const QByteArray command = pending.left(need);
                pending.remove(0, need);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    received_.append(command);
                }
                const QByteArray answer = responder(command);
                if (!answer.isEmpty())
                    write(answer);
            }
        }
    });
}

void PtyPeer::stopResponder()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

QByteArray PtyPeer::received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void PtyPeer::closeMaster()
{
    stopResponder();
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    // The application still holds its side; our own slave goes too, so the
    // terminal hangs up.
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
}

bool WaitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

std::unique_ptr<Form1> MakePtyForm(const PtyPeer &peer)
{
    Form1::endProgram = [](int) {};
    auto f = std::make_unique<Form1>(PortChoice{PortChoice::Device, peer.slavePath()});
    f->Form_Load();
    f->show();
    return f;
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
