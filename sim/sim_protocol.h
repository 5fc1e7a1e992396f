#pragma once

#include <cstdint>

// The instrument's side of the serial protocol: the bytes it recognises and
// the bytes it answers with. Every 16-bit quantity travels high byte first.
namespace sim {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t END_OF_DATA = 0x80; // closes the sample stream at a record start

// Command codes: the low four bits of a command's first byte.
enum CommandCode : uint8_t {
    CodeSetting1 = 0x0,
    CodeRateKind = 0x1,
    CodeConditionChannel = 0x2,
    CodePattern = 0x3,
    CodeRunFull = 0x4,
    CodeRunLength = 0x5,
    CodeReadFull = 0x6,
    CodeReadLength = 0x7,
    CodeReadSettings = 0x8,
    CodeMode = 0x9,
    CodeTriggerLevel = 0xA,
    CodeStop = 0xE,
};

// The length that the short forms of Run (0x04) and Read data (0x06) stand for,
// and the largest length a stream can carry (time stamps stay below 0x8000).
constexpr int32_t FULL_LENGTH = 0x7FFF;

// Line speed of the instrument's serial port: 115200 baud, 10 bits per byte.
constexpr double LINE_BYTE_SECONDS = 10.0 / 115200.0;

// Input-range switch positions 0..4 -> report byte (one active-low bit per
// position); 0 for a position that does not exist.
inline uint8_t rangeReportByte(int position)
{
    static constexpr uint8_t bytes[] = {0xEF, 0xDF, 0xBF, 0x7F, 0xFF};
    return (position >= 0 && position < 5) ? bytes[position] : 0;
}

} // namespace sim
