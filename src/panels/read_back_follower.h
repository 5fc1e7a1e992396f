#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>

#include "decode/live_samples.h"

class Form1;

// Follows a capture while the instrument reads it back, for the decoders:
// at most 25 times a second while a device button's transaction runs, it
// takes the records that arrived in the window's store since it last looked
// and hands on the samples they make final. Nothing runs per received byte.
class ReadBackFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 40;

    explicit ReadBackFollower(Form1 &form, QObject *parent = nullptr);

    // From the first look that finds a read going on until its end byte
    // (or the end of its transaction).
    bool isFollowing() const;
    // Every sample final so far, and the rate of the capture arriving.
    const LiveSamples &samples() const { return samples_; }
    uint64_t sampleRateHz() const { return sampleRateHz_; }
    // Device transactions begun so far (the outermost of nested ones).
    int transactionCount() const { return transactions_; }
    bool inTransaction() const { return depth_ > 0; }

signals:
    // A read has begun; samples() is empty.
    void readStarted();
    // samples().samples()[first, first + count) have become final.
    void samplesArrived(qsizetype first, qsizetype count);

private:
    void transactionStarted();
    void transactionEnded();
    void poll();

    Form1 &form_;
    QTimer timer_;
    int depth_ = 0; // transactions running (they nest)
    int transactions_ = 0;
    bool following_ = false;
    int32_t taken_ = 0; // records of the store taken into samples_
    LiveSamples samples_;
    uint64_t sampleRateHz_ = 0;
};
