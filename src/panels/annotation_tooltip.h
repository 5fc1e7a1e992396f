#pragma once

#include <QString>
#include <cstdint>

struct DecodeAnnotation;

// A time from the capture start for people: the unit follows the size
// ("12.35 µs", "1.23455 ms") with enough decimals to tell one sample period
// from the next at this rate. Without a rate, "sample 12".
QString CaptureTimeText(int64_t sample, uint64_t sampleRateHz);
// The same for a length ("85.75 µs", "1736 samples").
QString CaptureDurationText(int64_t samples, uint64_t sampleRateHz);

// What hovering over an annotation shows: its full text, where it lies and
// what it belongs to, one item a line.
QString AnnotationToolTip(const DecodeAnnotation &annotation, const QString &instanceName,
                          const QString &rowName, uint64_t sampleRateHz);
