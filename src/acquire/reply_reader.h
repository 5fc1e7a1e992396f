#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "capture/capture.h"

// The instrument's answers for a capture taken from the command line, read by
// the rules the window's receive handler applies in the same transaction
// states: an ACK ends a Setting step or a Run, a stop is answered by
// STX H L ETX or NAK, a read by STX, records and the end byte, and a byte
// that arrives while nothing is awaited is a range report. Bytes that do not
// fit the state are skipped. No widgets, no port: bytes in, state out.
class ReplyReader {
public:
    enum class State {
        Idle,     // nothing awaited: bytes are range reports
        Ack,      // a Setting step or a Run waits for ACK
        Stop,     // a stop waits for its length or NAK
        Refused,  // the stop was answered by NAK
        Stream,   // a read waits for the sample stream
    };

    // The same bound on stored records as the window's: a stream longer than
    // any capture is read to its end but not kept beyond it.
    static constexpr int32_t kMaxRecords = 1 << 20;

    void expectAck() { begin(State::Ack); }
    void expectStopReply();
    void expectStream(bool analog);

    void feed(const QByteArray &bytes);

    State state() const { return state_; }
    bool idle() const { return state_ == State::Idle; }
    bool refused() const { return state_ == State::Refused; }
    // An ACK came while the stop reply was awaited: the capture had ended
    // before the instrument saw the stop.
    bool ackDuringStop() const { return ackDuringStop_; }
    // The length of a complete stop reply (H * 256 + L).
    int32_t stopLength() const { return stopLength_; }
    // Whether the stream's STX has come, and how far the records reach.
    bool streamStarted() const { return state_ == State::Stream ? pos_ > 0 : streamDone_; }
    int32_t lastTime() const { return records_.empty() ? -1 : records_.back().time; }
    const std::vector<CaptureRecord> &records() const { return records_; }
    std::vector<CaptureRecord> takeRecords();
    // Position of the input-range switch from the last range report (the
    // window starts at 1, "   ×1").
    int rangeIndex() const { return rangeIndex_; }

private:
    void begin(State s);
    void streamByte(uint8_t b);
    void stopByte(uint8_t b);

    State state_ = State::Idle;
    bool analog_ = false;
    int32_t pos_ = 0;  // bytes of the reply taken so far (0: waiting for STX)
    int32_t word_ = 0; // 16-bit value, high byte first
    int32_t stopLength_ = 0;
    bool ackDuringStop_ = false;
    bool streamDone_ = false;
    int rangeIndex_ = 1;
    std::vector<CaptureRecord> records_;
};
