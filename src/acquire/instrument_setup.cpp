#include "acquire/instrument_setup.h"

#include "device/wire_protocol.h"

int32_t InstrumentSetup::maxLength() const { return analog ? wire::ANALOG_MAX_LENGTH : wire::LOGIC_MAX_LENGTH; }

CaptureTrigger InstrumentSetup::trigger() const
{
    CaptureTrigger t;
    t.kind = secondKind ? 1 : 0;
    t.condition = conditionCode;
    t.channel = channel;
    t.pattern = patternMask;
    t.levelCount = 255 - levelScroll;
    return t;
}

QList<QByteArray> SettingCommands(const InstrumentSetup &s)
{
    auto one = [](uint8_t b) { return QByteArray(1, char(b)); };
    return {one(wire::SETTING1_BYTE),
            one(wire::rateKindByte(s.rateIndex, s.secondKind)),
            one(wire::conditionChannelByte(s.conditionCode, s.channel)),
            one(wire::patternByte(s.patternMask)),
            one(wire::modeByte(s.analog)),
            wire::triggerLevelCommand(s.levelScroll)};
}
