#pragma once

#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include "sim/instrument.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

namespace sim {

// Runs a SimInstrument behind a pseudo-terminal, so that a client can open
// the slave side like a serial port. The pair is put into raw mode as soon as
// it exists; the transport keeps its own descriptor of the slave open for its
// whole life, so clients may open and close the slave at any time. A
// background thread serves the master side. setPacing, setTimeScale,
// reportRangeSwitch and settings may be called from any thread while it runs;
// start and stop belong to the owner's thread.
//
// Bytes that the instrument sends while no client has the slave open stay in
// the terminal's buffer until one reads them, as on a serial line whose
// receiver is not listening yet.
class SimulatorPty {
public:
    SimulatorPty();
    ~SimulatorPty();
    SimulatorPty(const SimulatorPty &) = delete;
    SimulatorPty &operator=(const SimulatorPty &) = delete;

    // Creates the pseudo-terminal and starts serving it. Returns false, with a
    // reason in *error when given, if the terminal cannot be set up or the
    // transport is already running.
    bool start(QString *error = nullptr);
    // Ends the thread (within a few milliseconds) and closes the terminal.
    void stop();
    bool isRunning() const { return m_running; }

    // Path of the slave side ("/dev/pts/N"); empty when not running.
    QString slavePath() const;

    // On (the default): bytes leave no faster than 115200 baud allows.
    void setPacing(bool on) { m_pacing = on; }
    bool pacing() const { return m_pacing; }
    // Multiplier of capture times for the next captures; 0 = instant.
    void setTimeScale(double scale);
    // Sends a range report (queued while a command is in progress). Returns
    // false for a position other than 0..4.
    bool reportRangeSwitch(int position);
    // The instrument's current settings.
    SimSettings settings() const;

private:
    void serve();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_pacing{true};
    mutable std::mutex m_mutex; // guards m_instrument
    SimInstrument m_instrument;
};

} // namespace sim

#endif // Q_OS_UNIX
