#include "export/import_fit.h"

#include <cmath>

namespace {

// The last time stamp of an Analog capture (the instrument records up to
// 16383 periods of 8-bit samples).
constexpr int32_t kMaxAnalogTime = 16383;

// How far a value may lie from a converter step before it counts as rounded
// (the exports write volts with six decimals, far closer than this).
constexpr double kStepTolerance = 0.05;

// Whether every value becomes a count 0..255 in this range.
bool RangeHolds(const std::vector<double> &volts, int rangeIndex)
{
    const double perCount = 5.0 * Capture::voltageScaleFor(rangeIndex) / 255.0;
    for (double v : volts) {
        const double c = std::round(v / perCount);
        if (!(c >= 0 && c <= 255))
            return false;
    }
    return true;
}

} // namespace

// A record's time stamp says where its levels begin, so a record at the last
// time stamp the instrument delivers is one more sample period.
int32_t MaxImportSamples(bool analog) { return analog ? kMaxAnalogTime + 1 : Capture::kMaxTime + 1; }

QString RateListText(bool analog)
{
    QStringList rates;
    const Capture::Mode mode = analog ? Capture::Mode::Analog : Capture::Mode::Logic;
    for (int i = 0; i < Capture::kRateCount; ++i)
        rates << SampleRateText(Capture::sampleRateHzFor(mode, i));
    return rates.join(QStringLiteral(", "));
}

ImportResult FitSamples(const SampledSignals &samples, QStringList warnings)
{
    const bool analog = samples.hasAnalog;
    const Capture::Mode mode = analog ? Capture::Mode::Analog : Capture::Mode::Logic;
    const int rate = Capture::rateIndexForHz(mode, samples.rateHz);
    if (rate < 0) {
        const bool otherList = Capture::rateIndexForHz(analog ? Capture::Mode::Logic : Capture::Mode::Analog,
                                                       samples.rateHz) >= 0;
        QString why = QStringLiteral("its sample rate of %1 is not one of the instrument's %2 rates (%3)")
                          .arg(SampleRateText(samples.rateHz), analog ? QStringLiteral("Analog") : QStringLiteral("Logic"),
                               RateListText(analog));
        if (otherList)
            why += analog ? QStringLiteral("; the Logic rates are for data without an analog channel")
                          : QStringLiteral("; the Analog rates are for data with an analog channel");
        return ImportResult::refused(why);
    }
    const size_t count = samples.levels.size();
    if (count == 0)
        return ImportResult::refused(QStringLiteral("it holds no samples"));
    if (count > size_t(MaxImportSamples(analog)) || (analog && samples.volts.size() != count))
        return ImportResult::refused(QStringLiteral("its samples do not fit a capture")); // importers cut first

    int range = 1;
    std::vector<uint8_t> counts;
    if (analog) {
        for (size_t n = 0; n < count; ++n) {
            const double v = samples.volts[n];
            if (!std::isfinite(v))
                return ImportResult::refused(QStringLiteral("its analog value at sample %1 is not a number").arg(n));
        }
        std::optional<int> chosen;
        if (samples.notes.rangeIndex && RangeHolds(samples.volts, *samples.notes.rangeIndex))
            chosen = samples.notes.rangeIndex;
        for (int r = 0; r < 5 && !chosen; ++r) {
            if (RangeHolds(samples.volts, r))
                chosen = r;
        }
        if (!chosen) {
            size_t worst = 0;
            for (size_t n = 1; n < count; ++n) {
                if (std::fabs(samples.volts[n] - 25.0) > std::fabs(samples.volts[worst] - 25.0))
                    worst = n;
            }
            return ImportResult::refused(
                QStringLiteral("its analog value %1 V at sample %2 is outside the instrument's input of 0 to 50 V")
                    .arg(samples.volts[worst])
                    .arg(worst));
        }
        range = *chosen;
        if (samples.notes.rangeIndex && *samples.notes.rangeIndex != range)
            warnings << QStringLiteral("The analog values do not fit the input range the file notes; range x%1 is used.")
                            .arg(Capture::voltageScaleFor(range));
        const double perCount = 5.0 * Capture::voltageScaleFor(range) / 255.0;
        counts.resize(count);
        double worstStep = 0;
        for (size_t n = 0; n < count; ++n) {
            const double c = samples.volts[n] / perCount;
            counts[n] = uint8_t(std::round(c));
            worstStep = std::max(worstStep, std::fabs(c - std::round(c)));
        }
        if (worstStep > kStepTolerance)
            warnings << QStringLiteral("Analog values were rounded to the converter's steps of %1 mV (range x%2).")
                            .arg(perCount * 1000, 0, 'f', 2)
                            .arg(Capture::voltageScaleFor(range));
    } else if (samples.notes.rangeIndex) {
        range = *samples.notes.rangeIndex;
    }

    std::vector<CaptureRecord> records;
    if (analog) {
        records.resize(count);
        for (size_t n = 0; n < count; ++n)
            records[n] = {int32_t(n), samples.levels[n], counts[n]};
    } else {
        for (size_t n = 0; n < count; ++n) {
            if (n == 0 || samples.levels[n] != samples.levels[n - 1])
                records.push_back({int32_t(n), samples.levels[n], 0});
        }
    }
    ImportResult r;
    r.ok = true;
    r.capture = Capture(mode, rate, int32_t(count), std::move(records), samples.notes.trigger.value_or(CaptureTrigger{}),
                        range);
    r.warnings = std::move(warnings);
    return r;
}
