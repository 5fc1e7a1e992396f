#pragma once

#include <cstdint>

namespace sim {

constexpr int RATE_COUNT = 8;

// Sample period of rate index 0..7 in Logic mode, in nanoseconds
// (20 MHz .. 100 kHz). Analog mode uses 1000 times these periods.
inline int64_t logicPeriodNs(int rateIndex)
{
    static constexpr int64_t periods[RATE_COUNT] = {50, 100, 200, 500, 1000, 2000, 5000, 10000};
    return periods[rateIndex & (RATE_COUNT - 1)];
}

inline double samplePeriodSeconds(int rateIndex, bool analog)
{
    return double(logicPeriodNs(rateIndex)) * 1e-9 * (analog ? 1000.0 : 1.0);
}

// The acquisition settings as the instrument remembers them: the parameter
// bytes of Setting steps 2..5 exactly as received, and the trigger-level byte.
// Parameters live in the high nibbles; the accessors decode them.
struct SimSettings {
    uint8_t rateKind = 0x01;         // bit 7 kind, bits 6..4 rate index
    uint8_t conditionChannel = 0x22; // bits 7..6 trigger channel, bits 5..4 condition code
    uint8_t pattern = 0x03;          // bits 7..4 pattern mask (bit i = CH(i+1))
    uint8_t mode = 0x09;             // high nibble 1 = Analog, anything else = Logic
    uint8_t level = 0x80;            // analog trigger level

    int rateIndex() const { return (rateKind >> 4) & 0x7; }
    // Logic: pattern trigger instead of level trigger. Analog: FreeRun.
    bool secondKind() const { return (rateKind & 0x80) != 0; }
    // 2 high / equal, 0 low / differ, 3 rising / equal, 1 falling / differ.
    int conditionCode() const { return (conditionChannel >> 4) & 0x3; }
    int triggerChannel() const { return (conditionChannel >> 6) & 0x3; }
    int patternMask() const { return (pattern >> 4) & 0xF; }
    bool analog() const { return (mode >> 4) == 1; }
    double samplePeriodSeconds() const { return sim::samplePeriodSeconds(rateIndex(), analog()); }
};

} // namespace sim
