#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>

#include "app/sample_store.h"

// The window-level variables that every handler shares. Before Form_Load
// runs, numbers are 0, strings are empty and the store holds nothing;
// Form_Load sets the start-up values.
struct AppState {
    QByteArray RxBytes;          // bytes of the chunk last taken from the port
    QVariant RxRaw;              // raw result of the last serial read
    QString PendingCommand;      // transaction state; empty = idle
    int32_t ReplyPos = 0;        // position within the current reply or stream
    int32_t RxWord = 0;          // 16-bit value being assembled, high byte first
    float Magnification = 0.0f;  // pixels per sample period
    float SamplePeriodUs = 0.0f; // sample period of the selected rate, microseconds
    int32_t XRefSample = 0;      // reference time cursor, sample periods
    int32_t XAxisSample = 0;     // measuring time cursor, sample periods
    float VoltageScale = 0.0f;   // analog range multiplier
    SampleStore SampleData;      // the capture store
    int32_t LastSampleIndex = 0; // last valid record; -1 = no capture
    QString DragTarget;          // cursor being dragged; empty acts like "NON"
};
