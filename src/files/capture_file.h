#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

class QIODevice;
class SampleStore;

// The "*.log" capture file: plain ASCII text of decimal integers separated by
// commas and CR LF line ends.
//   line 1: the six settings values below
//   line 2: LastSampleIndex (-1 for a capture without records)
//   then one line per record 0..LastSampleIndex: time stamp, logic levels
//   and, for an analog capture, the analog sample.

// The settings line, already encoded by the caller from the window's controls.
struct CaptureSettings {
    int rateAndTriggerKind = 0;  // 8 * trigger kind + rate index
    int channelAndCondition = 0; // 4 * trigger channel + condition code
    int patternBits = 0;         // bit i = pattern box i
    int analogFlag = 0;          // 1 in analog mode, 0 in logic mode
    int scaleIndex = 0;          // voltage-scale list index
    int triggerLevel = 0;        // trigger-level scroll bar value
};

// Writes line 1, line 2 and the record lines for records 0..lastSampleIndex
// (none when lastSampleIndex is negative; line 2 still holds the value as
// given). Each record line has two values, or three when `analog` is set.
//
// A value the store does not hold (a record beyond its upper bound, or field 2
// of a store made for logic mode) is written as 0, so the file always has the
// shape its line 2 promises and can be read back with the same count.
//
// The text is produced in blocks of about 64 KiB and handed to `out` a block
// at a time. Stops at the first write that fails and returns false; the
// caller then treats the file as not written. For a file device the data is
// flushed at the end, so a full disk is reported here rather than lost in
// close().
bool WriteCaptureFile(QIODevice &out, const CaptureSettings &s, int32_t lastSampleIndex,
                      const SampleStore &data, bool analog);

// The same bytes WriteCaptureFile writes, as one array.
QByteArray CaptureFileText(const CaptureSettings &s, int32_t lastSampleIndex,
                           const SampleStore &data, bool analog);

// Reads a capture file one field at a time, wherever the line breaks fall.
//
// - Fields are separated by a comma or a line end; CR, LF and CR LF each end
//   a line. Line ends (and blank lines) between fields are one separator and
//   never make an empty field, but the text between a comma and the next
//   comma, line end or end of file is always a field, even when empty.
// - Spaces and tabs around a value are skipped.
// - A field is a decimal integer: optional '-' or '+', then at least one
//   digit (leading zeros allowed). Anything else, an empty field, or a value
//   outside the requested type fails; the whole field is consumed either way,
//   so the next read starts at the next field.
// - At the end of the file every read fails and consumes nothing.
//
// The device is read through a fixed 64 KiB buffer, so lines and fields of
// any length and files of any size take bounded memory.
class CaptureFileReader {
public:
    explicit CaptureFileReader(QIODevice &in);

    std::optional<uint8_t> ReadByteField(); // 0..255
    std::optional<int32_t> ReadLongField(); // -2147483648..2147483647

    // True when no field is left: only blanks and line ends remain.
    bool atEnd() const { return eof_ && pos_ == len_ && !fieldPending_; }

private:
    struct Field {
        bool ok = false;
        bool negative = false;
        uint64_t magnitude = 0; // saturated, see kSaturation
    };

    Field readField();
    void skipToNextField();
    bool fill();
    // Next byte without consuming it, -1 at end of file.
    int peek()
    {
        if (pos_ == len_ && !fill())
            return -1;
        return static_cast<unsigned char>(buf_[pos_]);
    }

    QIODevice &in_;
    std::vector<char> buf_;
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
    // The previous field ended with a comma: a field follows even if the
    // text up to the next separator is empty.
    bool fieldPending_ = false;
};
