#include "panels/read_back_follower.h"

#include <QComboBox>
#include <algorithm>

#include "app/form1.h"
#include "capture/capture.h"
#include "device/wire_protocol.h"

ReadBackFollower::ReadBackFollower(Form1 &form, QObject *parent) : QObject(parent), form_(form)
{
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &ReadBackFollower::poll);
    connect(&form_, &Form1::transactionStarted, this, &ReadBackFollower::transactionStarted);
    connect(&form_, &Form1::transactionEnded, this, &ReadBackFollower::transactionEnded);
}

bool ReadBackFollower::isFollowing() const
{
    return following_ && form_.state.PendingCommand == wire::STATE_DATAREAD;
}

void ReadBackFollower::transactionStarted()
{
    if (depth_++ == 0) {
        ++transactions_;
        timer_.start();
    }
}

void ReadBackFollower::transactionEnded()
{
    if (depth_ > 0 && --depth_ == 0) {
        timer_.stop();
        // What came after the last look is in the capture the end brings.
        following_ = false;
    }
}

void ReadBackFollower::poll()
{
    if (form_.state.PendingCommand != wire::STATE_DATAREAD)
        return;
    const SampleStore &store = form_.state.SampleData;
    if (!following_) {
        following_ = true;
        taken_ = 0;
        samples_.reset();
        const Capture::Mode mode = form_.isAnalogMode() ? Capture::Mode::Analog : Capture::Mode::Logic;
        sampleRateHz_ = Capture::sampleRateHzFor(mode, form_.Combo1->currentIndex());
        emit readStarted();
    }
    // Records 0..LastSampleIndex - 1 are complete; the last one may still
    // lack its levels.
    const int32_t complete = std::max(0, std::min(form_.state.LastSampleIndex, store.upperBound()));
    if (complete <= taken_ || store.isEmpty())
        return;
    const int32_t *times = store.fieldData(0);
    const int32_t *levels = store.fieldData(1);
    const qsizetype first = qsizetype(samples_.samples().size());
    for (int32_t n = taken_; n < complete; ++n)
        samples_.add(times[n], uint8_t(levels[n]));
    taken_ = complete;
    const qsizetype count = qsizetype(samples_.samples().size()) - first;
    if (count > 0)
        emit samplesArrived(first, count);
}
