#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "capture/capture.h"
#include "sim/signals.h"

// The simulator's scene as a capture, made straight from its signal
// functions, for tests and benchmarks that need no window: Logic with one
// record per level change, as the instrument sends it; Analog with one record
// per sample period.
inline Capture SimulatorCapture(Capture::Mode mode = Capture::Mode::Logic, int rateIndex = 0,
                                int32_t periods = Capture::kMaxTime, int rangeIndex = 1,
                                CaptureTrigger trigger = {})
{
    const bool analog = mode == Capture::Mode::Analog;
    std::vector<CaptureRecord> records;
    for (int32_t n = 0; n < periods; ++n) {
        const uint8_t levels = sim::logicLevelsAt(n, rateIndex);
        if (analog || records.empty() || records.back().levels != levels)
            records.push_back({n, levels, analog ? sim::analogAt(n, rateIndex) : uint8_t(0)});
    }
    return Capture(mode, rateIndex, periods, std::move(records), trigger, rangeIndex);
}

// Trigger settings with every field away from its default, so a round trip
// shows that it keeps them.
inline CaptureTrigger NonDefaultTrigger()
{
    CaptureTrigger trigger;
    trigger.kind = 1;
    trigger.condition = 2;
    trigger.pattern = 0b1010;
    trigger.levelCount = 200;
    return trigger;
}

// The decoders for the simulator's buses at 20 MHz: text on CH1, SPI on
// CH2..CH4, I2C on CH5/CH6.
inline const QStringList &SimulatorDecoderStacks()
{
    static const QStringList stacks{QStringLiteral("uart:rx=CH1:baudrate=115200"),
                                    QStringLiteral("spi:clk=CH2:mosi=CH3:cs=CH4"),
                                    QStringLiteral("i2c:scl=CH5:sda=CH6")};
    return stacks;
}
