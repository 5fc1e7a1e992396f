#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Byte-level protocol between the front end and the instrument.
// Every 16-bit quantity travels high byte first.
namespace wire {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t END_OF_DATA = 0x80; // only where a record's first byte is expected

// Command codes (low four bits of a command's first byte).
constexpr uint8_t CMD_SETTING1 = 0x0;
constexpr uint8_t CMD_RATE_KIND = 0x1;
constexpr uint8_t CMD_CONDITION_CHANNEL = 0x2;
constexpr uint8_t CMD_PATTERN = 0x3;
constexpr uint8_t CMD_RUN_FULL = 0x4;
constexpr uint8_t CMD_RUN_LENGTH = 0x5;
constexpr uint8_t CMD_READ_FULL = 0x6;
constexpr uint8_t CMD_READ_LENGTH = 0x7;
constexpr uint8_t CMD_READ_SETTINGS = 0x8;
constexpr uint8_t CMD_MODE = 0x9;
constexpr uint8_t CMD_TRIGGER_LEVEL = 0xA;
constexpr uint8_t CMD_STOP = 0xE;

constexpr uint8_t SETTING1_BYTE = 0xB0;

// The full measurement length; never sent as bytes, it selects the short forms.
constexpr int32_t FULL_LENGTH = 0x7FFF;
constexpr int32_t LOGIC_MAX_LENGTH = 32767;
constexpr int32_t ANALOG_MAX_LENGTH = 16383;

// Transaction states, the literal values of PendingCommand.
inline const QString STATE_IDLE = QString();
inline const QString STATE_SET0 = QStringLiteral("set0");
inline const QString STATE_SET1 = QStringLiteral("set1");
inline const QString STATE_SET2 = QStringLiteral("set2");
inline const QString STATE_SET3 = QStringLiteral("set3");
inline const QString STATE_SETMODE = QStringLiteral("setmode");
inline const QString STATE_SETTRGV = QStringLiteral("settrgv");
inline const QString STATE_RUN = QStringLiteral("run");
inline const QString STATE_STOP = QStringLiteral("stop");
inline const QString STATE_DATAREAD = QStringLiteral("dataread");
inline const QString STATE_SETREAD = QStringLiteral("setread");
inline const QString STATE_NAC = QStringLiteral("NAC");

bool isKnownState(const QString &state);

// Setting steps 2..6, from the values the controls hold.
uint8_t rateKindByte(int rateIndex, bool secondKind);            // 0x01 + 16*rate + 128*kind
uint8_t conditionChannelByte(int conditionCode, int channel);    // 0x02 + 16*code + 64*channel
uint8_t patternByte(int patternMask);                           // 0x03 + 16*mask
uint8_t modeByte(bool analog);                                   // 0x09 or 0x19
QByteArray triggerLevelCommand(int levelScrollValue);            // 0x0A, 255 - value

// Run: 0x04 in Logic mode or at full length, else 0x05 H L.
QByteArray runCommand(bool analog, int32_t length);
// Read data: 0x06 at full length, else 0x07 H L (the mode does not matter).
QByteArray readDataCommand(int32_t length);
QByteArray stopCommand();
QByteArray readSettingsCommand();

// Record length of the sample stream: 4 bytes in Analog mode, 3 in Logic mode.
inline int recordLength(bool analog) { return analog ? 4 : 3; }

// Range report byte -> Combo2 position, or -1 for any other byte.
int rangePositionFromReport(uint8_t b);
// Combo2 position -> range report byte (0xEF, 0xDF, 0xBF, 0x7F, 0xFF); 0 for others.
uint8_t rangeReportByte(int position);

} // namespace wire
