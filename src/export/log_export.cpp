#include "export/log_export.h"

#include "app/sample_store.h"

CaptureSettings CaptureLogSettings(const Capture &capture)
{
    const CaptureTrigger &t = capture.trigger();
    CaptureSettings s;
    s.rateAndTriggerKind = 8 * t.kind + capture.rateIndex();
    s.channelAndCondition = 4 * t.channel + t.condition;
    s.patternBits = t.pattern & 0xF;
    s.analogFlag = capture.isAnalog() ? 1 : 0;
    s.scaleIndex = capture.rangeIndex();
    // The level scroll bar runs the other way: value = 255 - level count.
    s.triggerLevel = 255 - t.levelCount;
    return s;
}

QByteArray CaptureLogText(const Capture &capture)
{
    const std::vector<CaptureRecord> &records = capture.records();
    const bool analog = capture.isAnalog();
    const bool tail = !records.empty() && records.back().time < capture.sampleCount() - 1;
    const int32_t last = int32_t(records.size()) - (tail ? 0 : 1);

    SampleStore store;
    store.create(analog ? 3 : 2, last);
    for (size_t i = 0; i < records.size(); ++i) {
        store.set(0, int32_t(i), records[i].time);
        store.set(1, int32_t(i), records[i].levels);
        if (analog)
            store.set(2, int32_t(i), records[i].analog);
    }
    if (tail) {
        store.set(0, last, capture.sampleCount() - 1);
        store.set(1, last, records.back().levels);
        if (analog)
            store.set(2, last, records.back().analog);
    }
    return CaptureFileText(CaptureLogSettings(capture), last, store, analog);
}
