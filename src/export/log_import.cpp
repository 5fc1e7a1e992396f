#include "export/log_import.h"

#include <QBuffer>
#include <algorithm>

#include "export/import_fit.h"
#include "files/capture_load.h"

namespace {

// The most records Load accepts (the window's stream limit).
constexpr int32_t kMaxLastSampleIndex = (1 << 20) - 1;

} // namespace

ImportResult ImportCaptureLog(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    CaptureLoadContext context;
    context.maxLastSampleIndex = kMaxLastSampleIndex;
    ParsedCapture file;
    if (ParseCaptureFile(buffer, context, file) == ParseResult::BadRecordCount)
        return ImportResult::refused(QStringLiteral("its record index %1 is outside -1 to %2")
                                         .arg(*file.lastSampleIndex)
                                         .arg(kMaxLastSampleIndex));
    if (file.recordsLastIndex < 0)
        return ImportResult::refused(QStringLiteral("it holds no records"));

    const bool analog = file.analog;
    const Capture::Mode mode = analog ? Capture::Mode::Analog : Capture::Mode::Logic;
    const int rate = file.holder[0] % 8;
    CaptureTrigger trigger;
    trigger.kind = file.holder[0] / 8 > 0 ? 1 : 0;
    trigger.channel = std::min(file.holder[1] / 4, 3);
    trigger.condition = file.holder[1] % 4;
    trigger.pattern = file.holder[2] & 0xF;
    trigger.levelCount = 255 - file.holder[5];
    const int range = file.holder[4] < 5 ? file.holder[4] : 1;

    // Records go in as the file has them, with time stamps that go back
    // moved up to the one before; a record at or past the end of the
    // longest capture of the mode, and every one after it, is left out.
    const int32_t limit = MaxImportSamples(analog);
    QStringList warnings;
    std::vector<CaptureRecord> records;
    records.reserve(size_t(file.recordsLastIndex) + 1);
    bool outOfRange = false, backwards = false, cut = false;
    int32_t previous = 0;
    for (int32_t n = 0; n <= file.recordsLastIndex; ++n) {
        int32_t time = file.records.at(0, n);
        if (time < previous) {
            backwards = true;
            time = previous;
        }
        if (time >= limit) {
            cut = true;
            break;
        }
        previous = time;
        const int32_t levels = file.records.at(1, n);
        const int32_t count = analog ? file.records.at(2, n) : 0;
        outOfRange = outOfRange || levels < 0 || levels > 255 || count < 0 || count > 255;
        records.push_back({time, uint8_t(levels), uint8_t(std::clamp(count, 0, 255))});
    }
    if (outOfRange)
        warnings << QStringLiteral("Levels outside 0..255 keep their low eight bits; analog values are limited to 0..255.");
    if (backwards)
        warnings << QStringLiteral("Time stamps that go back are moved up to the one before them.");
    if (cut) {
        warnings << QStringLiteral("Only the first %1 sample periods are kept: the instrument records no more.").arg(limit);
        if (records.empty())
            records.push_back({0, 0, 0}); // all low before the first record, as in the window
    }

    // The capture spans the records (up to and including the last), or the
    // whole of the longest capture when the file goes on beyond it; its
    // samples are then fitted like those of any other format.
    const Capture raw(mode, rate, cut ? limit : 0, std::move(records), trigger, range);
    SampledSignals s;
    s.rateHz = raw.sampleRateHz();
    s.hasAnalog = analog;
    s.notes.rangeIndex = range;
    s.notes.trigger = trigger;
    s.levels = raw.expandLogic();
    if (analog) {
        const std::vector<uint8_t> counts = raw.expandAnalog();
        s.volts.resize(s.levels.size());
        for (size_t n = 0; n < s.volts.size(); ++n)
            s.volts[n] = counts[n] * raw.voltsPerCount();
    }
    return FitSamples(s, warnings);
}
