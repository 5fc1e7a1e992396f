#include "export/vcd_export.h"

#include <QtAlgorithms>
#include <array>
#include <cstdio>

#include "export/capture_notes.h"
#include "export/text_buffer.h"

namespace {

// Identifier codes: CH1..CH8 are '!'..'(', the analog input ')'.
char ChannelCode(int channel) { return char('!' + channel); }
constexpr char kAnalogCode = ')';

// Decimal digits of v at p; returns the end.
char *AppendDigits(char *p, uint64_t v)
{
    char tmp[20];
    int n = 0;
    do {
        tmp[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0)
        *p++ = tmp[--n];
    return p;
}

} // namespace

VcdTimescale VcdTimescaleFor(int64_t samplePeriodPs)
{
    static const std::array<VcdTimescale, 15> steps = {{
        {100'000'000'000'000, "100 s"}, {10'000'000'000'000, "10 s"}, {1'000'000'000'000, "1 s"},
        {100'000'000'000, "100 ms"},    {10'000'000'000, "10 ms"},    {1'000'000'000, "1 ms"},
        {100'000'000, "100 us"},        {10'000'000, "10 us"},        {1'000'000, "1 us"},
        {100'000, "100 ns"},            {10'000, "10 ns"},            {1'000, "1 ns"},
        {100, "100 ps"},                {10, "10 ps"},                {1, "1 ps"},
    }};
    for (const VcdTimescale &s : steps) {
        if (samplePeriodPs > 0 && samplePeriodPs % s.ps == 0)
            return s;
    }
    return steps.back();
}

QByteArray VcdText(const Capture &capture, const QDateTime &written)
{
    const VcdTimescale scale = VcdTimescaleFor(capture.samplePeriodPs());
    const int64_t step = capture.samplePeriodPs() / scale.ps; // time units per sample period
    const bool analog = capture.isAnalog();
    const std::vector<uint8_t> levels = capture.expandLogic();
    const std::vector<uint8_t> counts = capture.expandAnalog();

    // The 256 possible analog values, formatted once.
    std::array<std::string, 256> volts;
    if (analog) {
        for (int c = 0; c < 256; ++c) {
            char tmp[32];
            std::snprintf(tmp, sizeof tmp, "r%.6f %c\n", c * capture.voltsPerCount(), kAnalogCode);
            volts[size_t(c)] = tmp;
        }
    }

    // The size, closely enough that the text never has to be moved: a time
    // line of at most 13 characters for each period with a change, 3 for
    // each level change, a value line for each analog change.
    size_t estimate = 2048;
    for (size_t n = 1; n < levels.size(); ++n) {
        const uint8_t changed = uint8_t(levels[n] ^ levels[n - 1]);
        const bool analogChanged = analog && counts[n] != counts[n - 1];
        if (changed != 0 || analogChanged)
            estimate += 13 + 3 * size_t(qPopulationCount(changed)) + (analogChanged ? 20 : 0);
    }
    TextBuffer out;
    out.reserve(estimate);
    out << "$date\n\t" << written.toString(Qt::ISODate) << "\n$end\n";
    out << "$version\n\t" << ProgramNameAndVersion() << "\n$end\n";
    out << "$comment\n";
    for (const QString &line : CaptureNoteLines(capture))
        out << '\t' << line << '\n';
    out << "$end\n";
    out << "$timescale " << scale.text << " $end\n";
    out << "$scope module logic_analyzer $end\n";
    for (int c = 0; c < Capture::kChannels; ++c)
        out << "$var wire 1 " << ChannelCode(c) << " CH" << (c + 1) << " $end\n";
    if (analog)
        out << "$var real 64 " << kAnalogCode << " Analog $end\n";
    out << "$upscope $end\n$enddefinitions $end\n";

    out << "#0\n$dumpvars\n";
    const uint8_t first = levels.empty() ? 0 : levels[0];
    for (int c = 0; c < Capture::kChannels; ++c)
        out << char('0' + ((first >> c) & 1)) << ChannelCode(c) << '\n';
    if (analog)
        out << volts[counts.empty() ? 0 : counts[0]];
    out << "$end\n";

    // One period's lines are put together in a small block and appended at
    // once: a full capture can change every channel in every period.
    char block[32 + 3 * Capture::kChannels];
    for (size_t n = 1; n < levels.size(); ++n) {
        const uint8_t changed = uint8_t(levels[n] ^ levels[n - 1]);
        const bool analogChanged = analog && counts[n] != counts[n - 1];
        if (changed == 0 && !analogChanged)
            continue;
        char *p = block;
        *p++ = '#';
        p = AppendDigits(p, uint64_t(n) * uint64_t(step));
        *p++ = '\n';
        for (int c = 0; c < Capture::kChannels; ++c) {
            if ((changed >> c) & 1) {
                *p++ = char('0' + ((levels[n] >> c) & 1));
                *p++ = ChannelCode(c);
                *p++ = '\n';
            }
        }
        out.append(block, size_t(p - block));
        if (analogChanged)
            out << volts[counts[n]];
    }
    // The end of the measurement, so that viewers show its full length.
    if (capture.sampleCount() > 0)
        out << '#' << int64_t(capture.sampleCount()) * step << '\n';
    return out.take();
}
