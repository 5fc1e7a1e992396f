#include "acquire/reply_reader.h"

#include "device/wire_protocol.h"

void ReplyReader::begin(State s)
{
    state_ = s;
    pos_ = 0;
    word_ = 0;
}

void ReplyReader::expectStopReply()
{
    begin(State::Stop);
    ackDuringStop_ = false;
}

void ReplyReader::expectStream(bool analog)
{
    begin(State::Stream);
    analog_ = analog;
    streamDone_ = false;
    records_.clear();
}

std::vector<CaptureRecord> ReplyReader::takeRecords()
{
    std::vector<CaptureRecord> out;
    out.swap(records_);
    return out;
}

void ReplyReader::feed(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const uint8_t b = p[k];
        switch (state_) {
        case State::Ack:
            if (b == wire::ACK)
                state_ = State::Idle;
            break;
        case State::Stop:
            stopByte(b);
            break;
        case State::Stream:
            streamByte(b);
            break;
        case State::Idle:
        case State::Refused: {
            const int position = wire::rangePositionFromReport(b);
            if (position >= 0)
                rangeIndex_ = position;
            state_ = State::Idle;
            break;
        }
        }
    }
}

void ReplyReader::stopByte(uint8_t b)
{
    switch (pos_) {
    case 0:
        if (b == wire::STX)
            pos_ = 1;
        else if (b == wire::NAK)
            state_ = State::Refused;
        else if (b == wire::ACK)
            ackDuringStop_ = true;
        break;
    case 1:
        word_ = b * 256;
        pos_ = 2;
        break;
    case 2:
        stopLength_ = word_ + b;
        pos_ = 3;
        break;
    default:
        if (b == wire::ETX)
            state_ = State::Idle;
        break;
    }
}

void ReplyReader::streamByte(uint8_t b)
{
    if (pos_ == 0) {
        if (b == wire::STX) {
            pos_ = 1;
            records_.clear();
        }
        return;
    }
    const int32_t j = pos_ - 1;
    const int r = wire::recordLength(analog_);
    const int f = j % r;
    const bool storable = j / r < kMaxRecords;
    switch (f) {
    case 0:
        if (b == wire::END_OF_DATA) {
            state_ = State::Idle;
            streamDone_ = true;
            return;
        }
        word_ = b * 256;
        if (storable)
            records_.push_back(CaptureRecord{});
        break;
    case 1:
        if (storable)
            records_.back().time = word_ + b;
        break;
    case 2:
        if (storable)
            records_.back().levels = b;
        break;
    default:
        if (storable)
            records_.back().analog = b;
        break;
    }
    // A stream without end is read on without overflowing its position: the
    // record boundaries repeat every 12 bytes, so going back 12 keeps them.
    pos_ = pos_ < INT32_MAX - 12 ? pos_ + 1 : pos_ - 11;
}
