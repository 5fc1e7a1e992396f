#pragma once

#include "sim/sim_settings.h"

#include <QByteArray>
#include <cstdint>

// The simulated world the instrument looks at: eight logic lines and one
// analog input, all deterministic functions of time, and the capture built
// from them.
//
// The scene is laid out in nanoseconds for Logic mode: sample i at rate r is
// at time i * logicPeriodNs(r). Analog mode shows the same scene slowed down
// 1000 times (its periods are 1000 times longer), so each Analog rate shows
// the same picture as the Logic rate with the same index.
//
//   CH1      UART, 115200 baud 8N1: a 21-character text line every 4 ms
//   CH2..CH4 SPI mode 0 at about 1 MHz: clock, data (MSB first), chip select
//            (active low); a three-byte transfer every 200 us
//   CH5/CH6  I2C-like clock and data at about 100 kHz: start, three bytes with
//            acknowledge bits, stop; one transfer every 1 ms
// The bus clocks are slightly off round numbers (960 kHz, 96 kHz), so that
// the slower sample rates do not always catch them in the same phase.
//   CH7      PWM at 20 kHz, duty cycle sweeping 10..90 % and back
//   CH8      square wave, 500 Hz
//   analog   sine of 10 kHz (+-85) on a 400 Hz component (+-30) around 128,
//            with +-3 of noise
namespace sim {

// Scene levels at a time in nanoseconds (t >= 0): bit k = CH(k+1).
uint8_t sceneLevelsAtNs(int64_t tNs);

// The eight logic levels at a sample index of the scene for a rate index.
uint8_t logicLevelsAt(int64_t sampleIndex, int rateIndex);
// The analog sample (0..255) at a sample index of the scene for a rate index.
uint8_t analogAt(int64_t sampleIndex, int rateIndex);

// How far the trigger search looks, in sample periods. When no position
// within this range fulfils the trigger condition (for example a pattern that
// never occurs, or an analog level the signal never crosses), the capture
// starts at position 0 as if no trigger had been set.
constexpr int64_t TRIGGER_SEARCH_LIMIT = int64_t(1) << 18;

// Scene sample index at which a capture with these settings starts: the
// first position that fulfils the trigger condition.
//   Logic, level trigger: the chosen channel (CH1..CH4) is high (code 2), low
//     (code 0), has just risen (code 3) or has just fallen (code 1);
//   Logic, pattern trigger: CH1..CH4 equal the pattern mask (codes 2, 3) or
//     differ from it (codes 0, 1);
//   Analog, trigger: the analog sample crosses the level byte, rising for
//     codes 2, 3 (previous < level <= current), falling for codes 0, 1
//     (previous > level >= current);
//   Analog, FreeRun: position 0.
// For edges and crossings the start is the first sample after the change.
int64_t triggerStart(const SimSettings &settings);

// The sample stream for a capture of the given length (clamped to
// 0..FULL_LENGTH): STX, records, END_OF_DATA. Logic mode: 3-byte records
// (time high, time low, levels), one at time 0 and one wherever the levels
// change. Analog mode: 4-byte records (+ analog sample), one per sample period.
QByteArray sampleStream(const SimSettings &settings, int32_t length);

} // namespace sim
