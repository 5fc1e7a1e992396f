#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// One record of a capture: the logic levels (bit k = CH(k+1)) and, in Analog
// mode, the analog count hold from `time` up to the next record's time.
struct CaptureRecord {
    int32_t time = 0;   // sample periods from the start of the capture
    uint8_t levels = 0; // bit k = CH(k+1), 1 = high
    uint8_t analog = 0; // converter count 0..255 (Analog captures)
};

// The trigger settings the capture was taken (or loaded) with, in the
// instrument's own codes.
struct CaptureTrigger {
    int kind = 0;       // 0 channel trigger; 1 pattern (Logic) or free run (Analog)
    int condition = 3;  // 2 high, 0 low, 3 rising, 1 falling (on the pattern: 2/3 equal, 0/1 differ)
    int channel = 0;    // 0..3 = CH1..CH4
    int pattern = 0;    // bit i = CH(i+1) of the pattern
    int levelCount = 128; // analog trigger level in converter counts
};

// A read-only picture of the capture in view, with everything that code
// beyond the window needs and no widget: exporters, decoders and analysers
// read this, never the window's controls or store.
//
// The records are cleaned on the way in so every reader can rely on them:
// time stamps are kept inside 0..kMaxTime and made non-decreasing (a
// record that goes back in time starts where its predecessor does).
class Capture {
public:
    enum class Mode { Logic, Analog };

    static constexpr int kChannels = 8;
    static constexpr int kRateCount = 8;
    static constexpr int32_t kMaxTime = 32767;

    Capture() = default; // no capture
    Capture(Mode mode, int rateIndex, int32_t measurementLength, std::vector<CaptureRecord> records,
            CaptureTrigger trigger = {}, int rangeIndex = 1);

    // ---- the rate tables of both modes ----
    static uint64_t sampleRateHzFor(Mode mode, int rateIndex);   // 0 for an index outside 0..7
    static int64_t samplePeriodPsFor(Mode mode, int rateIndex);  // 0 for an index outside 0..7
    static QString rateTextFor(Mode mode, int rateIndex);        // "20MHz" ... as in the rate list
    // Rate index whose sample rate is exactly `hz` in that mode, or -1.
    static int rateIndexForHz(Mode mode, uint64_t hz);
    // Multiplier of the analog range list entry 0..4 (0.2, 1, 2, 4, 10); 1 outside.
    static double voltageScaleFor(int rangeIndex);

    bool isEmpty() const { return records_.empty(); }
    Mode mode() const { return mode_; }
    bool isAnalog() const { return mode_ == Mode::Analog; }
    int rateIndex() const { return rateIndex_; }
    uint64_t sampleRateHz() const { return sampleRateHzFor(mode_, rateIndex_); }
    // The exact sample period: 50 ns = 50000 ps ... 10 ms = 10^10 ps.
    int64_t samplePeriodPs() const { return samplePeriodPsFor(mode_, rateIndex_); }
    QString rateText() const { return rateTextFor(mode_, rateIndex_); }

    // Length asked of the instrument, in sample periods (0 when unknown, as
    // for a loaded file).
    int32_t measurementLength() const { return measurementLength_; }
    // Sample periods the capture covers: the measurement length, and at
    // least up to and including the last record. 0 without records.
    int32_t sampleCount() const { return sampleCount_; }
    // The measured time in picoseconds (sampleCount periods).
    int64_t durationPs() const { return int64_t(sampleCount_) * samplePeriodPs(); }

    const std::vector<CaptureRecord> &records() const { return records_; }
    const CaptureTrigger &trigger() const { return trigger_; }
    int rangeIndex() const { return rangeIndex_; }
    double voltageScale() const { return voltageScaleFor(rangeIndex_); }
    // Volts of one converter count, as the display reckons them: 255 counts
    // are 5 V times the range multiplier.
    double voltsPerCount() const { return 5.0 * voltageScale() / 255.0; }

    // Index of the record in force at sample n (the last one whose time is
    // at or before n), -1 before the first record or without records.
    int32_t recordAt(int32_t n) const;
    // Levels of all channels at sample n (0 before the first record).
    uint8_t levelsAt(int32_t n) const;
    // Level 0/1 of channel c (0 = CH1) at sample n.
    int level(int channel, int32_t n) const { return (levelsAt(n) >> channel) & 1; }
    // Analog count and volts at sample n (0 in a Logic capture).
    uint8_t analogCountAt(int32_t n) const;
    double analogVoltsAt(int32_t n) const { return analogCountAt(n) * voltsPerCount(); }

    // One byte of levels per sample period, sampleCount() bytes.
    std::vector<uint8_t> expandLogic() const;
    // One converter count per sample period (empty in a Logic capture).
    std::vector<uint8_t> expandAnalog() const;

private:
    Mode mode_ = Mode::Logic;
    int rateIndex_ = 0;
    int32_t measurementLength_ = 0;
    int32_t sampleCount_ = 0;
    std::vector<CaptureRecord> records_;
    CaptureTrigger trigger_;
    int rangeIndex_ = 1;
};
