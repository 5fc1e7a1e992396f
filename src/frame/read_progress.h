#pragma once

#include <QString>
#include <cstdint>

class SampleStore;

// Share of a capture read back so far, for the status bar: the time stamp of
// the record being filled over the measurement length.

// Time stamp reached by a sample stream that has filled records up to
// `lastIndex` (the last one may hold only its first byte yet, so its
// predecessor's time counts too). 0 before the first record.
int32_t StreamTimeReached(const SampleStore &store, int32_t lastIndex);

// Percent 0..100. While the stream is still arriving the share never shows
// 100: only the end byte completes a read, and `readEnded` says it came.
int ReadProgressPercent(bool readEnded, int32_t timeReached, int32_t measurementLength);
