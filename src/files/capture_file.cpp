#include "files/capture_file.h"

#include "app/sample_store.h"

#include <QFileDevice>
#include <QIODevice>

#include <cstring>
#include <memory>

namespace {

// Text is produced into a fixed block and handed on once it has passed
// kBlockSize; the slack behind that mark takes the line being written. The
// longest line is the settings line: six values of at most 11 characters,
// five commas and CR LF.
constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kMaxLine = 6 * 11 + 5 + 2;

class LineWriter {
public:
    // `sink` receives every full block and the final partial one; it returns
    // false when the block could not be stored.
    template <typename Sink>
    static bool Generate(const CaptureSettings &s, int32_t lastSampleIndex, const SampleStore &data,
                         bool analog, Sink &&sink)
    {
        // The block is too large to sit on the stack of a deep handler chain.
        auto owner = std::make_unique<LineWriter>();
        LineWriter &w = *owner;
        w.value(s.rateAndTriggerKind);
        w.comma();
        w.value(s.channelAndCondition);
        w.comma();
        w.value(s.patternBits);
        w.comma();
        w.value(s.analogFlag);
        w.comma();
        w.value(s.scaleIndex);
        w.comma();
        w.value(s.triggerLevel);
        w.endLine();
        w.value(lastSampleIndex);
        w.endLine();

        // Records the store does not hold are written as 0 (see the header);
        // the pointers and limits are taken once so the loop stays a plain
        // copy of the store into text.
        const int32_t held = data.isEmpty() ? -1 : data.upperBound();
        const int32_t *f0 = data.fieldCount() > 0 ? data.fieldData(0) : nullptr;
        const int32_t *f1 = data.fieldCount() > 1 ? data.fieldData(1) : nullptr;
        const int32_t *f2 = data.fieldCount() > 2 ? data.fieldData(2) : nullptr;
        for (int32_t n = 0; n <= lastSampleIndex; ++n) {
            if (w.used_ > kBlockSize) {
                if (!sink(w.block_, w.used_))
                    return false;
                w.used_ = 0;
            }
            const bool inStore = n <= held;
            w.value(inStore && f0 ? f0[n] : 0);
            w.comma();
            w.value(inStore && f1 ? f1[n] : 0);
            if (analog) {
                w.comma();
                w.value(inStore && f2 ? f2[n] : 0);
            }
            w.endLine();
            if (n == INT32_MAX)
                break;
        }
        return w.used_ == 0 || sink(w.block_, w.used_);
    }

private:
    void value(int32_t v)
    {
        // Digits are produced backwards into a scratch area, then copied.
        char tmp[12];
        char *end = tmp + sizeof tmp;
        char *p = end;
        uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        do {
            *--p = static_cast<char>('0' + mag % 10);
            mag /= 10;
        } while (mag != 0);
        if (v < 0)
            *--p = '-';
        const size_t n = static_cast<size_t>(end - p);
        std::memcpy(block_ + used_, p, n);
        used_ += n;
    }
    void comma() { block_[used_++] = ','; }
    void endLine()
    {
        block_[used_++] = '\r';
        block_[used_++] = '\n';
    }

    char block_[kBlockSize + kMaxLine + 1];
    size_t used_ = 0;
};

bool WriteAll(QIODevice &out, const char *p, size_t n)
{
    while (n > 0) {
        const qint64 written = out.write(p, static_cast<qint64>(n));
        if (written <= 0)
            return false;
        p += written;
        n -= static_cast<size_t>(written);
    }
    return true;
}

// Above any int32 magnitude, and small enough that ten times it plus a digit
// still fits in 64 bits: digit strings of any length saturate here.
constexpr uint64_t kSaturation = 10'000'000'000ULL;

bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }
bool IsSeparator(int c) { return c == ',' || IsLineEnd(c); }

} // namespace

bool WriteCaptureFile(QIODevice &out, const CaptureSettings &s, int32_t lastSampleIndex,
                      const SampleStore &data, bool analog)
{
    if (!out.isWritable())
        return false;
    const bool ok = LineWriter::Generate(s, lastSampleIndex, data, analog,
                                         [&out](const char *p, size_t n) { return WriteAll(out, p, n); });
    if (!ok)
        return false;
    if (auto *file = qobject_cast<QFileDevice *>(&out))
        return file->flush();
    return true;
}

QByteArray CaptureFileText(const CaptureSettings &s, int32_t lastSampleIndex, const SampleStore &data,
                           bool analog)
{
    QByteArray text;
    if (lastSampleIndex >= 0)
        text.reserve(static_cast<qsizetype>(lastSampleIndex + 1) * (analog ? 18 : 14) + 64);
    LineWriter::Generate(s, lastSampleIndex, data, analog, [&text](const char *p, size_t n) {
        text.append(p, static_cast<qsizetype>(n));
        return true;
    });
    return text;
}

CaptureFileReader::CaptureFileReader(QIODevice &in) : in_(in), buf_(64 * 1024)
{
    skipToNextField();
}

bool CaptureFileReader::fill()
{
    // A device that is not open for reading (a Load whose file did not
    // open) is an empty file, without asking Qt to warn about it.
    if (eof_ || !in_.isReadable()) {
        eof_ = true;
        return false;
    }
    const qint64 n = in_.read(buf_.data(), static_cast<qint64>(buf_.size()));
    if (n <= 0) {
        // A read error is treated like the end of the file: what was read
        // stays valid, every later field fails.
        eof_ = true;
        pos_ = len_ = 0;
        return false;
    }
    pos_ = 0;
    len_ = static_cast<size_t>(n);
    return true;
}

void CaptureFileReader::skipToNextField()
{
    // After a comma only blanks may be skipped: a line end there closes an
    // empty field. Otherwise line ends between fields are one separator.
    for (int c = peek(); c != -1; c = peek()) {
        if (!(IsBlank(c) || (!fieldPending_ && IsLineEnd(c))))
            break;
        ++pos_;
    }
}

CaptureFileReader::Field CaptureFileReader::readField()
{
    Field f;
    if (atEnd())
        return f;

    int c = peek();
    while (IsBlank(c)) {
        ++pos_;
        c = peek();
    }
    if (c == '-' || c == '+') {
        f.negative = c == '-';
        ++pos_;
        c = peek();
    }
    bool digits = false;
    while (c >= '0' && c <= '9') {
        digits = true;
        f.magnitude = f.magnitude * 10 + static_cast<uint64_t>(c - '0');
        if (f.magnitude > kSaturation)
            f.magnitude = kSaturation;
        ++pos_;
        c = peek();
    }
    while (IsBlank(c)) {
        ++pos_;
        c = peek();
    }
    f.ok = digits;
    if (c != -1 && !IsSeparator(c)) {
        // Not a number: the rest of the field goes with it.
        f.ok = false;
        while (c != -1 && !IsSeparator(c)) {
            ++pos_;
            c = peek();
        }
    }
    fieldPending_ = c == ',';
    if (c != -1)
        ++pos_; // the separator
    skipToNextField();
    return f;
}

std::optional<uint8_t> CaptureFileReader::ReadByteField()
{
    const Field f = readField();
    if (!f.ok || f.magnitude > 255 || (f.negative && f.magnitude != 0))
        return std::nullopt;
    return static_cast<uint8_t>(f.magnitude);
}

std::optional<int32_t> CaptureFileReader::ReadLongField()
{
    const Field f = readField();
    if (!f.ok)
        return std::nullopt;
    if (f.negative) {
        if (f.magnitude > 2147483648ULL)
            return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(f.magnitude));
    }
    if (f.magnitude > 2147483647ULL)
        return std::nullopt;
    return static_cast<int32_t>(f.magnitude);
}
