#include "export/csv_export.h"

#include <array>
#include <cstdio>
#include <string>

#include "export/capture_notes.h"
#include "export/text_buffer.h"

namespace {

constexpr int64_t kPsPerSecond = 1'000'000'000'000;

// Decimal places that show every multiple of the period exactly: 50 ns needs
// 8 (0.00000005), 10 ms needs 2.
int TimeDecimals(int64_t periodPs)
{
    int decimals = 12;
    while (decimals > 0 && periodPs % 10 == 0) {
        periodPs /= 10;
        --decimals;
    }
    return decimals;
}

// n periods in seconds, written from integers so no rounding creeps in.
void AppendTime(TextBuffer &out, int64_t ps, int decimals)
{
    out << ps / kPsPerSecond;
    if (decimals == 0)
        return;
    int64_t fraction = ps % kPsPerSecond;
    for (int i = decimals; i < 12; ++i)
        fraction /= 10;
    char digits[13];
    digits[0] = '.';
    for (int i = decimals; i > 0; --i) {
        digits[i] = char('0' + fraction % 10);
        fraction /= 10;
    }
    out.append(digits, size_t(decimals) + 1);
}

} // namespace

QByteArray CsvText(const Capture &capture)
{
    const bool analog = capture.isAnalog();
    const std::vector<uint8_t> levels = capture.expandLogic();
    const std::vector<uint8_t> counts = capture.expandAnalog();
    const int64_t period = capture.samplePeriodPs();
    const int decimals = TimeDecimals(period);

    std::array<std::string, 256> volts;
    if (analog) {
        for (int c = 0; c < 256; ++c) {
            char tmp[32];
            std::snprintf(tmp, sizeof tmp, ",%.6f", c * capture.voltsPerCount());
            volts[size_t(c)] = tmp;
        }
    }

    TextBuffer out;
    out.reserve(512 + levels.size() * (analog ? 44 : 32));
    out << "; " << ProgramNameAndVersion() << '\n';
    for (const QString &line : CaptureNoteLines(capture))
        out << "; " << line << '\n';
    out << "time_s";
    for (int c = 1; c <= Capture::kChannels; ++c)
        out << ",CH" << c;
    if (analog)
        out << ",analog_V";
    out << '\n';

    for (size_t n = 0; n < levels.size(); ++n) {
        AppendTime(out, int64_t(n) * period, decimals);
        const uint8_t l = levels[n];
        char bits[2 * Capture::kChannels];
        for (int c = 0; c < Capture::kChannels; ++c) {
            bits[2 * c] = ',';
            bits[2 * c + 1] = char('0' + ((l >> c) & 1));
        }
        out.append(bits, sizeof bits);
        if (analog)
            out << volts[counts[n]];
        out << '\n';
    }
    return out.take();
}
