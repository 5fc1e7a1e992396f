#include "decode/decode_limits.h"

#include <QLocale>

QString DecodeStopText(DecodeStopReason reason, const DecodeLimits &limits)
{
    switch (reason) {
    case DecodeStopReason::TimeLimit:
        return QStringLiteral("stopped after %1 s")
            .arg(QString::number(limits.timeLimitSeconds, 'g', QLocale::FloatingPointShortest));
    case DecodeStopReason::AnnotationLimit:
        return QStringLiteral("stopped after %1 annotations").arg(limits.annotationLimit);
    case DecodeStopReason::User:
    case DecodeStopReason::Cancelled:
        return QStringLiteral("stopped");
    case DecodeStopReason::None:
        break;
    }
    return {};
}

void DecodeControl::stop(DecodeStopReason reason)
{
    if (reason == DecodeStopReason::None)
        return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        int none = int(DecodeStopReason::None);
        reason_.compare_exchange_strong(none, int(reason), std::memory_order_acq_rel);
    }
    changed_.notify_all();
}
