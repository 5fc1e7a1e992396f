// The capture in view as a plain value for the code built around the window.
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>

#include "app/form1.h"

Capture Form1::capture() const
{
    const SampleStore &sd = state.SampleData;
    const bool analog = isAnalogMode();
    std::vector<CaptureRecord> records;
    // Only records the store holds: a Logic store read while Analog is
    // selected (or the reverse) never happens, since the mode switch empties
    // the capture, but a missing field reads as 0 rather than outside.
    const int32_t last = std::min(state.LastSampleIndex, sd.upperBound());
    if (last >= 0) {
        records.resize(size_t(last) + 1);
        const bool hasAnalog = analog && sd.fieldCount() > 2;
        for (int32_t n = 0; n <= last; ++n) {
            CaptureRecord &r = records[size_t(n)];
            r.time = sd.at(0, n);
            r.levels = uint8_t(sd.at(1, n));
            r.analog = hasAnalog ? uint8_t(sd.at(2, n)) : 0;
        }
    }

    CaptureTrigger trigger;
    trigger.kind = isOptionSelected(Option1[1]) ? 1 : 0;
    for (int i = 0; i < 4; ++i) {
        if (isOptionSelected(Option2[i]))
            trigger.condition = QString::fromLatin1(Option2Tag[i]).toInt();
        if (isOptionSelected(Option3[i]))
            trigger.channel = i;
    }
    trigger.pattern = 0;
    for (int i = 0; i < 4; ++i)
        trigger.pattern |= checkValue(i) << i;
    trigger.levelCount = 255 - VScroll2->value();

    return Capture(analog ? Capture::Mode::Analog : Capture::Mode::Logic, Combo1->currentIndex(), captureLength_,
                   std::move(records), trigger, Combo2->currentIndex());
}
