#include "sim/pty_transport.h"

#if defined(Q_OS_UNIX)

#include "sim/sim_protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

namespace sim {
namespace {

constexpr int PACING_BURST = 64;     // bytes written at once when pacing
constexpr int MAX_WAIT_MS = 10;      // longest sleep, so stop() is served promptly
constexpr int UNPACED_CHUNK = 4096;

double monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
}

int waitMs(double seconds)
{
    if (seconds <= 0.0)
        return 0;
    return int(std::min<double>(MAX_WAIT_MS, std::ceil(seconds * 1000.0)));
}

} // namespace

SimulatorPty::SimulatorPty() = default;

SimulatorPty::~SimulatorPty() { stop(); }

bool SimulatorPty::start(QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        m_master = m_slave = -1;
        return false;
    };
    if (m_running)
        return fail(QStringLiteral("the simulator is already running"));
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        return fail(systemError("openpty"));
    makeRaw(m_slave);
    makeRaw(m_master);
    char name[256] = {};
    if (ttyname_r(m_slave, name, sizeof name) != 0)
        return fail(systemError("ttyname_r"));
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(systemError("fcntl"));
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_instrument = SimInstrument(m_instrument.timeScale());
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void SimulatorPty::stop()
{
    if (!m_running)
        return;
    m_stopRequested = true;
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_master);
    ::close(m_slave);
    m_master = m_slave = -1;
    m_slavePath.clear();
    m_running = false;
}

QString SimulatorPty::slavePath() const { return m_slavePath; }

void SimulatorPty::setTimeScale(double scale)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_instrument.setTimeScale(scale);
}

bool SimulatorPty::reportRangeSwitch(int position)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_instrument.reportRangeSwitch(position);
}

SimSettings SimulatorPty::settings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_instrument.settings();
}

void SimulatorPty::serve()
{
    QByteArray pending;      // bytes for the host not yet written
    double paceStart = 0.0;  // pacing: when the current run of bytes began
    qint64 paceSent = 0;     // pacing: bytes written since paceStart
    bool pacedBefore = m_pacing;
    char buffer[4096];

    while (!m_stopRequested) {
        const double now = monotonicSeconds();
        const bool wasEmpty = pending.isEmpty();
        double nextEvent;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_instrument.advance(now);
            if (m_instrument.hasOutput())
                pending.append(m_instrument.takeOutput());
            nextEvent = m_instrument.nextEventTime();
        }

        // A new run of bytes after a quiet line (or after pacing was switched)
        // starts a new schedule; while a run lasts, late wake-ups are caught
        // up so that the average rate stays at the line speed.
        const bool paced = m_pacing;
        if (paced != pacedBefore
            || (wasEmpty && now >= paceStart + double(paceSent) * LINE_BYTE_SECONDS)) {
            paceStart = now;
            paceSent = 0;
        }
        pacedBefore = paced;

        bool blocked = false; // the terminal takes no more bytes for now
        int timeout = MAX_WAIT_MS;
        while (!pending.isEmpty()) {
            const double due = paceStart + double(paceSent) * LINE_BYTE_SECONDS;
            if (paced && now < due) {
                timeout = std::min(timeout, std::max(1, waitMs(due - now)));
                break;
            }
            const int chunk = int(std::min<qsizetype>(pending.size(), paced ? PACING_BURST : UNPACED_CHUNK));
            const ssize_t written = ::write(m_master, pending.constData(), size_t(chunk));
            if (written <= 0) {
                blocked = true;
                break;
            }
            pending.remove(0, written);
            paceSent += written;
        }
        if (std::isfinite(nextEvent))
            timeout = std::min(timeout, waitMs(nextEvent - now));

        pollfd pfd{m_master, short(POLLIN | (blocked ? POLLOUT : 0)), 0};
        const int ready = ::poll(&pfd, 1, timeout);
        if (ready <= 0)
            continue;
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_instrument.hostBytes(QByteArray(buffer, int(n)), monotonicSeconds());
                continue;
            }
        }
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Not expected while our own slave descriptor is open; do not spin.
            ::poll(nullptr, 0, MAX_WAIT_MS);
        }
    }
}

} // namespace sim

#endif // Q_OS_UNIX
