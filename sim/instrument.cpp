#include "sim/instrument.h"

#include "sim/signals.h"
#include "sim/sim_protocol.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

int32_t lengthFromBytes(uint8_t high, uint8_t low)
{
    return std::min<int32_t>(FULL_LENGTH, int32_t(high) << 8 | low);
}

} // namespace

SimInstrument::SimInstrument(double timeScale) : m_timeScale(std::max(0.0, timeScale)) {}

void SimInstrument::setTimeScale(double timeScale) { m_timeScale = std::max(0.0, timeScale); }

void SimInstrument::hostBytes(const QByteArray &in, double now)
{
    for (char c : in) {
        advance(now);
        handleByte(uint8_t(c), now);
    }
    advance(now);
}

void SimInstrument::advance(double now)
{
    if (m_capturing && now >= m_captureEnd) {
        m_capturing = false;
        reply(ACK);
    }
    flushRangeReports();
}

double SimInstrument::nextEventTime() const
{
    return m_capturing ? m_captureEnd : std::numeric_limits<double>::infinity();
}

QByteArray SimInstrument::takeOutput()
{
    QByteArray out;
    out.swap(m_output);
    return out;
}

bool SimInstrument::reportRangeSwitch(int position)
{
    const uint8_t b = rangeReportByte(position);
    if (b == 0)
        return false;
    m_rangeReports.push_back(b);
    flushRangeReports();
    return true;
}

void SimInstrument::flushRangeReports()
{
    if (!idle())
        return;
    for (uint8_t b : m_rangeReports)
        reply(b);
    m_rangeReports.clear();
}

void SimInstrument::handleByte(uint8_t b, double now)
{
    if (m_capturing) {
        if ((b & 0x0F) == CodeStop) {
            stopCapture(now);
            flushRangeReports();
        }
        return;
    }
    switch (m_expect) {
    case Expect::Command:
        handleCommand(b, now);
        break;
    case Expect::TriggerLevel:
        m_expect = Expect::Command;
        m_settings.level = b;
        reply(ACK);
        break;
    case Expect::RunHigh:
    case Expect::ReadHigh:
        m_lengthHigh = b;
        m_expect = m_expect == Expect::RunHigh ? Expect::RunLow : Expect::ReadLow;
        break;
    case Expect::RunLow:
        m_expect = Expect::Command;
        startCapture(lengthFromBytes(m_lengthHigh, b), now);
        break;
    case Expect::ReadLow:
        m_expect = Expect::Command;
        sendStream(lengthFromBytes(m_lengthHigh, b));
        break;
    }
    flushRangeReports();
}

void SimInstrument::handleCommand(uint8_t b, double now)
{
    switch (b & 0x0F) {
    case CodeSetting1:
        reply(ACK);
        break;
    case CodeRateKind:
        m_settings.rateKind = b;
        reply(ACK);
        break;
    case CodeConditionChannel:
        m_settings.conditionChannel = b;
        reply(ACK);
        break;
    case CodePattern:
        m_settings.pattern = b;
        reply(ACK);
        break;
    case CodeMode:
        m_settings.mode = b;
        reply(ACK);
        break;
    case CodeTriggerLevel:
        m_expect = Expect::TriggerLevel;
        break;
    case CodeRunFull:
        startCapture(FULL_LENGTH, now);
        break;
    case CodeRunLength:
        m_expect = Expect::RunHigh;
        break;
    case CodeReadFull:
        sendStream(FULL_LENGTH);
        break;
    case CodeReadLength:
        m_expect = Expect::ReadHigh;
        break;
    case CodeReadSettings:
        sendSettings();
        break;
    case CodeStop:
        reply(NAK); // nothing to stop
        break;
    default:
        break; // unknown command: no answer
    }
}

void SimInstrument::startCapture(int32_t length, double now)
{
    m_captureSettings = m_settings;
    m_haveCapture = true;
    m_capturing = true;
    m_captureLength = length;
    m_captureStart = now;
    m_captureEnd = now + double(length) * m_settings.samplePeriodSeconds() * m_timeScale;
    advance(now); // an instant capture ends here
}

void SimInstrument::stopCapture(double now)
{
    const double period = m_captureSettings.samplePeriodSeconds() * m_timeScale;
    int32_t recorded = m_captureLength;
    if (period > 0.0) {
        // The small margin keeps a time that is an exact multiple of the
        // period from losing a sample to rounding.
        const double samples = std::floor((now - m_captureStart) / period + 1e-9);
        recorded = int32_t(std::clamp(samples, 0.0, double(m_captureLength)));
    }
    m_capturing = false;
    reply(STX);
    reply(uint8_t(recorded >> 8));
    reply(uint8_t(recorded & 0xFF));
    reply(ETX);
}

void SimInstrument::sendStream(int32_t length)
{
    m_output.append(sampleStream(m_haveCapture ? m_captureSettings : m_settings, length));
}

void SimInstrument::sendSettings()
{
    reply(STX);
    reply(m_settings.rateKind);
    reply(m_settings.conditionChannel);
    reply(m_settings.pattern);
    reply(m_settings.mode);
    reply(m_settings.level);
    reply(ETX);
}

} // namespace sim
