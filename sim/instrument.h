#pragma once

#include "sim/sim_settings.h"

#include <QByteArray>
#include <cstdint>
#include <deque>

namespace sim {

// The instrument's protocol engine: takes the host's bytes, keeps the
// settings, runs captures and produces the answers. It does no I/O and has no
// threads of its own; the caller passes the current time (seconds on any
// monotonic clock) with every call, so behaviour is fully determined by the
// inputs.
//
// Rules beyond the byte formats:
// - Any byte whose low nibble is 0 is the first Setting step and is answered
//   with ACK. Codes 0xB, 0xC, 0xD and 0xF are ignored without an answer.
// - While a capture runs, only Stop (low nibble 0xE) is acted on; every other
//   byte is dropped.
// - A length whose high byte is 0x80 or more is taken as FULL_LENGTH.
// - Read data streams the requested length from the settings that were in
//   force when the last capture started (the current settings if there was no
//   capture yet), whatever length that capture recorded.
// - Range reports are sent at once when the engine is idle (no capture, no
//   command waiting for parameter bytes); otherwise they wait until it is.
class SimInstrument {
public:
    // timeScale multiplies every capture time; 0 makes captures end at once.
    explicit SimInstrument(double timeScale = 1.0);

    void setTimeScale(double timeScale);
    double timeScale() const { return m_timeScale; }

    // Bytes received from the host at time nowSeconds.
    void hostBytes(const QByteArray &in, double nowSeconds);
    // Lets time pass: a capture whose time is over ends with ACK.
    void advance(double nowSeconds);
    // Time at which advance() has something to do, +infinity if nothing.
    double nextEventTime() const;

    // Bytes for the host produced so far; the buffer is emptied.
    QByteArray takeOutput();
    bool hasOutput() const { return !m_output.isEmpty(); }

    // Input-range switch moved to position 0..4. Returns false (and sends
    // nothing) for any other position.
    bool reportRangeSwitch(int position);

    const SimSettings &settings() const { return m_settings; }
    bool captureRunning() const { return m_capturing; }
    // Length of the running or last capture, in sample periods.
    int32_t captureLength() const { return m_captureLength; }
    // No capture running and no command waiting for parameter bytes.
    bool idle() const { return !m_capturing && m_expect == Expect::Command; }

private:
    enum class Expect { Command, TriggerLevel, RunHigh, RunLow, ReadHigh, ReadLow };

    void handleByte(uint8_t b, double now);
    void handleCommand(uint8_t b, double now);
    void startCapture(int32_t length, double now);
    void stopCapture(double now);
    void sendStream(int32_t length);
    void sendSettings();
    void reply(uint8_t b) { m_output.append(char(b)); }
    void flushRangeReports();

    double m_timeScale;
    SimSettings m_settings;
    SimSettings m_captureSettings;
    bool m_haveCapture = false;
    bool m_capturing = false;
    double m_captureStart = 0.0;
    double m_captureEnd = 0.0;
    int32_t m_captureLength = 0;
    Expect m_expect = Expect::Command;
    uint8_t m_lengthHigh = 0;
    QByteArray m_output;
    std::deque<uint8_t> m_rangeReports;
};

} // namespace sim
