#include "sim/signals.h"

#include "sim/sim_protocol.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr int64_t US = 1000; // nanoseconds per microsecond
constexpr int64_t MS = 1000 * US;

// ---- CH1: UART --------------------------------------------------------------
constexpr int64_t UART_CYCLE = 4 * MS;
constexpr int64_t UART_OFFSET = 20 * US; // line idles before the first frame
constexpr int64_t UART_BAUD = 115200;
constexpr char UART_PREFIX[] = "la-sim #";        // then a four-digit line counter
constexpr char UART_SUFFIX[] = " Hello!\r\n";
constexpr int64_t UART_PREFIX_LEN = sizeof(UART_PREFIX) - 1;
constexpr int64_t UART_DIGITS = 4;
constexpr int64_t UART_SUFFIX_LEN = sizeof(UART_SUFFIX) - 1;
constexpr int64_t UART_CHARS = UART_PREFIX_LEN + UART_DIGITS + UART_SUFFIX_LEN;

uint8_t uartChar(int64_t line, int64_t index)
{
    if (index < UART_PREFIX_LEN)
        return uint8_t(UART_PREFIX[index]);
    index -= UART_PREFIX_LEN;
    if (index < UART_DIGITS) {
        int64_t v = line % 10000;
        for (int64_t d = index + 1; d < UART_DIGITS; ++d)
            v /= 10;
        return uint8_t('0' + v % 10);
    }
    return uint8_t(UART_SUFFIX[index - UART_DIGITS]);
}

int uartLevel(int64_t t)
{
    const int64_t line = t / UART_CYCLE;
    const int64_t u = t % UART_CYCLE - UART_OFFSET;
    if (u < 0)
        return 1;
    const int64_t bit = u * UART_BAUD / 1000000000;
    const int64_t frame = bit / 10;
    const int64_t pos = bit % 10;
    if (frame >= UART_CHARS)
        return 1; // idle
    if (pos == 0)
        return 0; // start bit
    if (pos == 9)
        return 1; // stop bit
    return (uartChar(line, frame) >> (pos - 1)) & 1; // LSB first
}

// ---- CH2..CH4: SPI ----------------------------------------------------------
constexpr int64_t SPI_CYCLE = 200 * US;
constexpr int64_t SPI_SELECT = 10 * US;       // chip select falls
constexpr int64_t SPI_BIT = 1040;             // about 1 MHz (960 kHz) clock
constexpr int64_t SPI_FIRST_BIT = SPI_SELECT + SPI_BIT;
constexpr int64_t SPI_BITS = 24;
constexpr int64_t SPI_DESELECT = SPI_FIRST_BIT + SPI_BITS * SPI_BIT + SPI_BIT;

struct SpiLines {
    int clock, data, select;
};

SpiLines spiLines(int64_t t)
{
    const int64_t n = t / SPI_CYCLE;
    const int64_t u = t % SPI_CYCLE;
    SpiLines s{0, 0, (u >= SPI_SELECT && u < SPI_DESELECT) ? 0 : 1};
    const int64_t p = u - SPI_FIRST_BIT;
    if (p >= 0 && p < SPI_BITS * SPI_BIT) {
        const int64_t k = p / SPI_BIT;
        const uint8_t bytes[3] = {0x3A, uint8_t(n), uint8_t(n * 5 + 0x21)};
        s.clock = (p % SPI_BIT) >= SPI_BIT / 2 ? 1 : 0;
        s.data = (bytes[k / 8] >> (7 - k % 8)) & 1;
    }
    return s;
}

// ---- CH5/CH6: I2C -----------------------------------------------------------
constexpr int64_t I2C_CYCLE = 1 * MS;
constexpr int64_t I2C_START = 100 * US;       // data falls while the clock is high
constexpr int64_t I2C_BIT = 10400;            // about 100 kHz (96 kHz) clock
constexpr int64_t I2C_FIRST_BIT = I2C_START + I2C_BIT / 2;
constexpr int64_t I2C_BITS = 27;              // three bytes, each with an acknowledge bit

int i2cBit(int64_t n, int64_t j)
{
    const uint8_t bytes[3] = {0xA0, uint8_t(n * 3), uint8_t(0x40 + n % 64)};
    const int64_t pos = j % 9;
    if (pos == 8)
        return 0; // acknowledge
    return (bytes[j / 9] >> (7 - pos)) & 1;
}

struct I2cLines {
    int clock, data;
};

I2cLines i2cLines(int64_t t)
{
    const int64_t n = t / I2C_CYCLE;
    const int64_t u = t % I2C_CYCLE;
    if (u < I2C_START)
        return {1, 1};
    if (u < I2C_FIRST_BIT)
        return {1, 0}; // start condition
    const int64_t p = u - I2C_FIRST_BIT;
    const int64_t j = p / I2C_BIT;
    const int64_t ph = p % I2C_BIT;
    const int clock = ph >= I2C_BIT / 2 ? 1 : 0;
    // Data changes a quarter bit into the clock's low phase.
    const bool early = ph < I2C_BIT / 4;
    if (j < I2C_BITS) {
        const int previous = j == 0 ? 0 : i2cBit(n, j - 1);
        return {clock, early ? previous : i2cBit(n, j)};
    }
    if (j == I2C_BITS) { // stop: data low during the clock's low phase, rises after the clock
        if (early)
            return {clock, i2cBit(n, I2C_BITS - 1)};
        return {clock, ph < 3 * I2C_BIT / 4 ? 0 : 1};
    }
    return {1, 1};
}

// ---- CH7: PWM, CH8: square wave ---------------------------------------------
constexpr int64_t PWM_PERIOD = 50 * US;
constexpr int64_t SQUARE_PERIOD = 2 * MS;

int pwmLevel(int64_t t)
{
    const int64_t k = (t / PWM_PERIOD) % 16;
    const int64_t step = k < 8 ? k : 16 - k; // 0..8..1
    const int64_t high = PWM_PERIOD / 10 * (1 + step);
    return (t % PWM_PERIOD) < high ? 1 : 0;
}

int squareLevel(int64_t t) { return (t % SQUARE_PERIOD) < SQUARE_PERIOD / 2 ? 0 : 1; }

// ---- analog -----------------------------------------------------------------
constexpr int64_t ANALOG_MAIN_PERIOD = 100 * US;
constexpr int64_t ANALOG_SLOW_PERIOD = 2500 * US;

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr double PI = 3.14159265358979323846;

double phase(int64_t t, int64_t period) { return 2.0 * PI * double(t % period) / double(period); }

void appendTime(QByteArray &out, int64_t time)
{
    out.append(char(uint8_t((time >> 8) & 0x7F)));
    out.append(char(uint8_t(time & 0xFF)));
}

} // namespace

uint8_t sceneLevelsAtNs(int64_t t)
{
    const SpiLines spi = spiLines(t);
    const I2cLines i2c = i2cLines(t);
    return uint8_t(uartLevel(t) | spi.clock << 1 | spi.data << 2 | spi.select << 3 | i2c.clock << 4
                   | i2c.data << 5 | pwmLevel(t) << 6 | squareLevel(t) << 7);
}

uint8_t logicLevelsAt(int64_t sampleIndex, int rateIndex)
{
    return sceneLevelsAtNs(sampleIndex * logicPeriodNs(rateIndex));
}

uint8_t analogAt(int64_t sampleIndex, int rateIndex)
{
    const int64_t t = sampleIndex * logicPeriodNs(rateIndex);
    const int noise = int(mix(uint64_t(sampleIndex)) % 7) - 3;
    const double v = 128.0 + 85.0 * std::sin(phase(t, ANALOG_MAIN_PERIOD))
        + 30.0 * std::sin(phase(t, ANALOG_SLOW_PERIOD)) + noise;
    return uint8_t(std::clamp<long>(std::lround(v), 0, 255));
}

int64_t triggerStart(const SimSettings &s)
{
    const int rate = s.rateIndex();
    const int code = s.conditionCode();
    if (s.analog()) {
        if (s.secondKind())
            return 0; // FreeRun
        const int level = s.level;
        const bool rising = code >= 2;
        int previous = analogAt(0, rate);
        for (int64_t p = 1; p < TRIGGER_SEARCH_LIMIT; ++p) {
            const int current = analogAt(p, rate);
            if (rising ? (previous < level && current >= level) : (previous > level && current <= level))
                return p;
            previous = current;
        }
        return 0;
    }
    if (s.secondKind()) {
        const int mask = s.patternMask();
        const bool equal = code >= 2;
        for (int64_t p = 0; p < TRIGGER_SEARCH_LIMIT; ++p) {
            if (((logicLevelsAt(p, rate) & 0xF) == mask) == equal)
                return p;
        }
        return 0;
    }
    const int bit = s.triggerChannel();
    auto levelAt = [&](int64_t p) { return (logicLevelsAt(p, rate) >> bit) & 1; };
    if (code == 2 || code == 0) {
        const int wanted = code == 2 ? 1 : 0;
        for (int64_t p = 0; p < TRIGGER_SEARCH_LIMIT; ++p) {
            if (levelAt(p) == wanted)
                return p;
        }
        return 0;
    }
    const int wanted = code == 3 ? 1 : 0; // level after the edge
    int previous = levelAt(0);
    for (int64_t p = 1; p < TRIGGER_SEARCH_LIMIT; ++p) {
        const int current = levelAt(p);
        if (current == wanted && previous != wanted)
            return p;
        previous = current;
    }
    return 0;
}

QByteArray sampleStream(const SimSettings &s, int32_t length)
{
    length = std::clamp<int32_t>(length, 0, FULL_LENGTH);
    const int rate = s.rateIndex();
    const bool analog = s.analog();
    const int64_t start = triggerStart(s);

    QByteArray out;
    out.reserve(analog ? 2 + 4 * length : 2 + 3 * 1024);
    out.append(char(STX));
    int previous = -1;
    for (int64_t i = 0; i < length; ++i) {
        const uint8_t levels = logicLevelsAt(start + i, rate);
        if (analog) {
            appendTime(out, i);
            out.append(char(levels));
            out.append(char(analogAt(start + i, rate)));
        } else if (levels != previous) {
            appendTime(out, i);
            out.append(char(levels));
            previous = levels;
        }
    }
    out.append(char(END_OF_DATA));
    return out;
}

} // namespace sim
