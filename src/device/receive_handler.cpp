// The serial receive handler: every byte from the instrument is interpreted
// by the transaction state in PendingCommand, re-read before each byte.
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>
#include <limits>

#include "app/form1.h"
#include "device/serial_port.h"
#include "device/wire_protocol.h"

void Form1::MSComm1_OnComm()
{
    if (MSComm1->CommEvent() != SerialPortService::comEvReceive)
        return;
    // A receive event raised while a chunk is still being processed (the stop
    // reply pumps events) leaves its bytes in the port: the running call takes
    // them when its chunk is done, so bytes are handled strictly in arrival order.
    if (rxInProgress_)
        return;
    rxInProgress_ = true;
    while (MSComm1->InBufferCount() > 0)
        ProcessRxChunk(MSComm1->Input());
    rxInProgress_ = false;
}

// One chunk taken from the port: kept in RxRaw/RxBytes, then byte by byte.
void Form1::ProcessRxChunk(const QByteArray &input)
{
    state.RxRaw = input;
    state.RxBytes = state.RxRaw.toByteArray();
    const QByteArray chunk = state.RxBytes;
    const auto *p = reinterpret_cast<const uint8_t *>(chunk.constData());
    const qsizetype n = chunk.size();
    qsizetype k = 0;
    while (k < n) {
        if (state.PendingCommand.size() == wire::STATE_DATAREAD.size()
            && state.PendingCommand == wire::STATE_DATAREAD) {
            // A sample stream: the bulk of all bytes. Its bytes run no other
            // handler and pump no events, so neither the mode nor the state
            // can change under it except by the end byte clearing the state;
            // the mode is read once for this run of stream bytes and the
            // state re-checked after each byte.
            const bool analog = isAnalogMode();
            do
                ProcessStreamByte(p[k++], analog);
            while (k < n && !state.PendingCommand.isEmpty());
        } else {
            ProcessRxByte(p[k++]);
        }
    }
}

void Form1::ReceiveChunkForTest(const QByteArray &chunk)
{
    if (rxInProgress_)
        return;
    rxInProgress_ = true;
    ProcessRxChunk(chunk);
    rxInProgress_ = false;
}

void Form1::ProcessRxByte(uint8_t b)
{
    const QString &pc = state.PendingCommand;
    if (pc == wire::STATE_SET0 || pc == wire::STATE_SET1 || pc == wire::STATE_SET2
        || pc == wire::STATE_SET3 || pc == wire::STATE_RUN || pc == wire::STATE_SETMODE
        || pc == wire::STATE_SETTRGV) {
        if (b == wire::ACK)
            state.PendingCommand.clear();
    } else if (pc == wire::STATE_DATAREAD) {
        ProcessStreamByte(b, isAnalogMode());
    } else if (pc == wire::STATE_SETREAD) {
        ProcessSettingsReplyByte(b);
    } else if (pc == wire::STATE_STOP) {
        ProcessStopReplyByte(b);
    } else {
        ProcessRangeReport(b);
    }
}

// Makes sure that `record` exists in the store with at least `field`. The
// receive rules alone keep a stream inside the store, but the mode can change
// between two bytes of a stream (a record then takes a different length), and a
// Load can replace the store while a stream is still arriving: the store grows
// to take the byte rather than have it written outside.
void Form1::ensureStoreCovers(int32_t record, int field)
{
    SampleStore &sd = state.SampleData;
    if (sd.isEmpty()) {
        sd.create(isAnalogMode() ? 3 : 2, std::max<int32_t>(9, record + 10));
    } else if (record > sd.upperBound()) {
        sd.grow(record + 10);
    }
    if (field >= sd.fieldCount())
        sd.ensureFields(field + 1);
}

void Form1::ProcessStreamByte(uint8_t b, bool analog)
{
    SampleStore &sd = state.SampleData;
    if (state.ReplyPos == 0) {
        if (b == wire::STX) {
            state.ReplyPos = 1;
            // Records 0..9; more when LastSampleIndex still points further
            // (a Load ran inside the read's wait before the stream began), so
            // that it never points past the new store.
            sd.create(analog ? 3 : 2, std::max<int32_t>(9, state.LastSampleIndex));
        }
        return;
    }
    // Field f of record `record`, R = 4 (Analog) or 3 bytes a record.
    const int32_t j = state.ReplyPos - 1;
    const int f = analog ? (j & 3) : (j % 3);
    const int32_t record = analog ? (j >> 2) : (j / 3);
    // A stream longer than any capture: its records past the limit are read
    // but not stored, so the store stays bounded.
    const bool storable = record < kMaxStreamRecords;
    // The store normally covers the record already (the growth rule below
    // keeps it ahead); the check is for a store changed behind the stream.
    const int32_t last = state.LastSampleIndex;
    auto covered = [&sd, last](int field) { return last <= sd.upperBound() && field < sd.fieldCount(); };
    switch (f) {
    case 0:
        if (b == wire::END_OF_DATA) {
            state.PendingCommand.clear(); // ReplyPos stays where it is
            return;
        }
        state.RxWord = b * 256;
        if (storable) {
            // The record exists from its first byte on: a store replaced or
            // laid out for the other mode behind the stream (a Load, a mode
            // switch) is made to cover it before LastSampleIndex points at it.
            if (record > sd.upperBound() || sd.fieldCount() < (analog ? 3 : 2))
                ensureStoreCovers(record, analog ? 2 : 1);
            state.LastSampleIndex = record;
        }
        break;
    case 1:
        state.RxWord += b;
        if (storable && last >= 0) {
            if (!covered(0))
                ensureStoreCovers(last, 0);
            sd.set(0, last, state.RxWord);
        }
        break;
    case 2:
        if (storable && last >= 0) {
            if (!covered(1))
                ensureStoreCovers(last, 1);
            sd.set(1, last, b);
            if (!analog && sd.upperBound() - last < 3)
                sd.grow(last + 10);
        }
        break;
    default: // 3, Analog records only
        if (storable && last >= 0) {
            if (!covered(2))
                ensureStoreCovers(last, 2);
            sd.set(2, last, b);
            if (analog && sd.upperBound() - last < 3)
                sd.grow(last + 10);
        }
        break;
    }
    if (state.ReplyPos < std::numeric_limits<int32_t>::max())
        state.ReplyPos += 1;
}

void Form1::ProcessSettingsReplyByte(uint8_t b)
{
    const int v = b / 16;
    switch (state.ReplyPos) {
    case 0:
        if (b == wire::STX)
            state.ReplyPos = 1;
        break;
    case 1:
        selectOption(v >= 8 ? Option1[1] : Option1[0]);
        settingsReplyRate_ = v % 8;
        setListIndex(Combo1, v % 8);
        state.ReplyPos = 2;
        break;
    case 2:
        for (int i = 0; i < 4; ++i) {
            if (v / 4 == i)
                selectOption(Option3[i]);
            if (QString::fromLatin1(Option2Tag[i]).toInt() == v % 4)
                selectOption(Option2[i]);
        }
        state.ReplyPos = 3;
        break;
    case 3:
        for (int d = 0; d < 4; ++d)
            setCheckValue(d, (v >> d) & 1);
        state.ReplyPos = 4;
        break;
    case 4: {
        const bool wasLogic = isLogicMode();
        selectOption(v == 1 ? Option4[1] : Option4[0]);
        // The mode switch refilled the rate list and selected its first
        // entry: select the reported rate again, in the new mode's list.
        if (wasLogic != isLogicMode())
            setListIndex(Combo1, settingsReplyRate_);
        state.ReplyPos = 5;
        break;
    }
    case 5:
        VScroll2->setValue(255 - b);
        state.ReplyPos = 6;
        break;
    default:
        if (b == wire::ETX)
            state.PendingCommand.clear();
        break;
    }
}

void Form1::ProcessStopReplyByte(uint8_t b)
{
    switch (state.ReplyPos) {
    case 0:
        if (b == wire::STX)
            state.ReplyPos = 1;
        else if (b == wire::NAK)
            state.PendingCommand = wire::STATE_NAC;
        break;
    case 1:
        state.RxWord = b * 256;
        state.ReplyPos = 2;
        break;
    case 2: {
        setSliderValue(state.RxWord + b);
        Text1->setText(UpdateReadouts(Slider1->value(), false));
        // Let the new length show. User input waits for the reply to be
        // complete: a press here could otherwise start a wait that this very
        // byte, still in progress, would have to end.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        state.ReplyPos = 3;
        break;
    }
    default:
        if (b == wire::ETX) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            state.PendingCommand.clear();
        }
        break;
    }
}

void Form1::ProcessRangeReport(uint8_t b)
{
    const int position = wire::rangePositionFromReport(b);
    if (position >= 0)
        setListIndex(Combo2, position); // runs Combo2_Click when the entry changes
    state.PendingCommand.clear();
}
