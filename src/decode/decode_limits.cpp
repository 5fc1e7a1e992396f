#include "decode/decode_limits.h"

#include <QLocale>

#include "decode/run_guard.h"

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

bool DecodeControl::setReason(DecodeStopReason reason)
{
    int none = int(DecodeStopReason::None);
    return reason != DecodeStopReason::None
           && reason_.compare_exchange_strong(none, int(reason), std::memory_order_acq_rel);
}

void DecodeControl::stop(DecodeStopReason reason)
{
    if (setReason(reason))
        decode_internal::WakeWatchdog();
}
