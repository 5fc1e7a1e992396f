#include "device/wire_protocol.h"

namespace wire {

bool isKnownState(const QString &s)
{
    return s.isEmpty() || s == STATE_SET0 || s == STATE_SET1 || s == STATE_SET2 || s == STATE_SET3
        || s == STATE_SETMODE || s == STATE_SETTRGV || s == STATE_RUN || s == STATE_STOP
        || s == STATE_DATAREAD || s == STATE_SETREAD || s == STATE_NAC;
}

uint8_t rateKindByte(int rateIndex, bool secondKind)
{
    return static_cast<uint8_t>(0x01 + 16 * rateIndex + (secondKind ? 128 : 0));
}

uint8_t conditionChannelByte(int conditionCode, int channel)
{
    return static_cast<uint8_t>(0x02 + 16 * conditionCode + 64 * channel);
}

uint8_t patternByte(int patternMask) { return static_cast<uint8_t>(0x03 + 16 * patternMask); }

uint8_t modeByte(bool analog) { return analog ? 0x19 : 0x09; }

QByteArray triggerLevelCommand(int levelScrollValue)
{
    QByteArray b;
    b.append(char(CMD_TRIGGER_LEVEL));
    b.append(char(static_cast<uint8_t>(255 - levelScrollValue)));
    return b;
}

static QByteArray withLength(uint8_t code, int32_t length)
{
    QByteArray b;
    b.append(char(code));
    b.append(char(static_cast<uint8_t>((length >> 8) & 0xFF)));
    b.append(char(static_cast<uint8_t>(length & 0xFF)));
    return b;
}

QByteArray runCommand(bool analog, int32_t length)
{
    if (!analog || length == FULL_LENGTH)
        return QByteArray(1, char(CMD_RUN_FULL));
    return withLength(CMD_RUN_LENGTH, length);
}

QByteArray readDataCommand(int32_t length)
{
    if (length == FULL_LENGTH)
        return QByteArray(1, char(CMD_READ_FULL));
    return withLength(CMD_READ_LENGTH, length);
}

QByteArray stopCommand() { return QByteArray(1, char(CMD_STOP)); }
QByteArray readSettingsCommand() { return QByteArray(1, char(CMD_READ_SETTINGS)); }

int rangePositionFromReport(uint8_t b)
{
    switch (b) {
    case 0xEF: return 0;
    case 0xDF: return 1;
    case 0xBF: return 2;
    case 0x7F: return 3;
    case 0xFF: return 4;
    default: return -1;
    }
}

uint8_t rangeReportByte(int position)
{
    static const uint8_t bytes[] = {0xEF, 0xDF, 0xBF, 0x7F, 0xFF};
    return (position >= 0 && position < 5) ? bytes[position] : 0;
}

} // namespace wire
