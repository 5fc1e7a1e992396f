#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "capture/capture.h"

// Protocol detection: what each logic channel of a capture carries, with the
// evidence, a confidence 0..1 and, where a sigrok decoder can read it, the
// decoder argument in sigrok-cli's -P syntax ("uart:rx=CH1:baudrate=115200:...").
//
// It works from the edges of each line (see line_edges.h), never sample by
// sample. Buses are looked for first (I2C pairs, then SPI groups around a
// gated clock); the remaining channels are classed one by one: constant,
// too fast for the sample rate, clock, PWM, UART, clock bursts, noise.
//
// A line whose shortest pulses span fewer than about 4 sample periods cannot
// be decoded reliably; it is reported as RateTooLow with the slowest rate of
// the instrument that would give 4 samples to its shortest pulse (Logic rates
// for an Analog capture when no Analog rate is fast enough), or none. A line
// that changes only while such a line is busy (the data of a bus whose clock
// is too fast) is reported with it rather than as whatever it resembles.
//
// What the wire alone cannot tell, and what is assumed instead (the report
// says "assumed" wherever it is):
// - UART: the frame format is the shortest one whose frames all check
//   (longer ones also check when frames have gaps); with fewer than ten frames
//   8 data bits are assumed when they check too. Parity is claimed from six
//   frames on; with fewer, no parity is assumed. Stop bits are the shortest
//   idle after a frame where frames follow closely; where every frame has a
//   gap after it, 1 is assumed. The sigrok decoder accepts at most 1.5 stop
//   bits and checks only the first, so 2 stop bits are handed to it as 1.5.
// - SPI: CPOL is the clock's level between bursts, so a clock without idle
//   gaps is not taken for an SPI clock. Which data line is MOSI is not on the
//   wire: the lower channel is taken as MOSI. The bit order shows only in
//   text: when one reading of a data line holds runs of text and the other
//   does not; otherwise MSB first, the common order, is assumed
//   (SpiBus::bitOrderAssumed). The chip select is the line at one level on
//   every clock edge whose edges fall between bursts.
// - I2C: SCL is a bursty clock idle high; SDA changes while SCL is low except
//   for start and stop. Addresses are the 7-bit ones (10-bit ones are counted
//   in the evidence only).

enum class SignalKind {
    Unknown,    // too few edges, or nothing recognised
    Constant,   // no edge at all
    Clock,      // periodic with a fixed duty cycle (or bursts of a clock without a bus around it)
    Pwm,        // periodic with a varying duty cycle
    Uart,
    Spi,        // a member of an SPI group (see ChannelReport::role)
    I2c,        // a member of an I2C pair
    Noise,      // many edges without any regularity
    RateTooLow, // edges closer than the sample rate resolves
};

// Short name of a kind ("UART", "clock", ...).
QString SignalKindName(SignalKind kind);

struct UartFormat {
    int baud = 0;            // a standard rate (300 ... 3000000) when within 2 %, else the measured one
    double measuredBaud = 0; // from the edge positions within the frames
    bool idleHigh = true;    // false: inverted line, idle low
    int dataBits = 8;        // 5..9
    char parity = 'N';       // 'N' none, 'E' even, 'O' odd
    double stopBits = 1;     // 1, 1.5 or 2
    int frames = 0;          // frames found
    int framesOk = 0;        // of which start bit, stop bit and parity check
    // What the frames do not show and was assumed.
    bool dataBitsAssumed = false; // 8, where too few frames tell a shorter format from it
    bool parityAssumed = false;   // none, with too few frames to tell
    bool stopBitsAssumed = false; // 1, where every frame has a gap after it
};

struct SpiBus {
    int clk = -1, mosi = -1, miso = -1, cs = -1; // channels 0..7, -1 when absent
    bool csActiveLow = true;
    int cpol = 0, cpha = 0;     // mode = 2 * cpol + cpha
    bool msbFirst = true;
    bool bitOrderAssumed = false; // the data does not show the order: MSB first assumed
    double clockHz = 0;         // clock within the bursts
    int words = 0;              // 8-bit words seen
    int transfers = 0;          // chip-select frames, or clock bursts without chip select
    double confidence = 0;
    QString evidence;
    int mode() const { return 2 * cpol + cpha; }
};

struct I2cBus {
    int scl = -1, sda = -1;
    std::vector<int> addresses; // 7-bit addresses seen after a (repeated) start, ascending
    int transactions = 0;       // start ... stop (or repeated start) seen whole
    int wellFormed = 0;         // of which carry whole bytes with their acknowledge bits
    double clockHz = 0;
    double confidence = 0;
    QString evidence;
};

struct ChannelReport {
    SignalKind kind = SignalKind::Unknown;
    QString role;          // bus members: "clk", "mosi", "miso", "cs", "scl", "sda"; "rx" for UART
    int bus = -1;          // index into DetectionReport::spi or ::i2c for bus members
    double confidence = 0; // 0..1
    QString evidence;      // what the class rests on, in a few words
    int edges = 0;         // level changes in the capture
    int level = 0;         // Constant: the level
    double frequencyHz = 0;          // Clock and Pwm
    double dutyMin = 0, dutyMax = 0; // Clock: both the duty cycle; Pwm: its range (0..1)
    UartFormat uart;                 // Uart
    // RateTooLow: the estimated shortest pulse and the slowest instrument
    // rate that gives it 4 samples (0: none of them does), in neededMode.
    // Pulses of about one sample may be shorter in truth (or aliased), so the
    // rate is then a lower bound.
    double shortestPulseSeconds = 0;
    double shortestPulseSamples = 0;
    uint64_t neededRateHz = 0;
    Capture::Mode neededMode = Capture::Mode::Logic;
};

// One line of the report: a channel on its own or a bus.
struct Finding {
    SignalKind kind = SignalKind::Unknown;
    std::vector<int> channels; // the bus's channels in role order, or the one channel
    double confidence = 0;
    QString text;    // "CH1: UART 115200 8N1 (idle high), 98% of 42 frames check"
    QString decoder; // sigrok-cli -P argument, empty when no decoder applies
    // The text, followed by "  --decode <decoder>" when there is one.
    QString line() const;
};

struct DetectionReport {
    std::array<ChannelReport, Capture::kChannels> channels;
    std::vector<SpiBus> spi;
    std::vector<I2cBus> i2c;
    std::vector<Finding> findings; // ordered by their lowest channel
};

// Classifies every channel of the capture (an empty capture gives an empty
// report: every channel Unknown, no findings).
DetectionReport DetectProtocols(const Capture &capture);
