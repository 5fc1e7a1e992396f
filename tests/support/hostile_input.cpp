#include "support/hostile_input.h"

#include <QBuffer>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "app/form1.h"
#include "app/picture_box.h"
#include "device/wire_protocol.h"
#include "files/capture_file.h"
#include "files/capture_load.h"

namespace hostile {

uint64_t PropertySeed()
{
    const QByteArray env = qgetenv("LA_PROPERTY_SEED");
    if (!env.isEmpty())
        return env.toULongLong();
    std::random_device rd;
    return (uint64_t(rd()) << 32) ^ rd();
}


const QString &TransactionState(int index)
{
    static const QString *const states[kStateCount] = {
        &wire::STATE_IDLE,    &wire::STATE_SET0,    &wire::STATE_SET1, &wire::STATE_SET2,
        &wire::STATE_SET3,    &wire::STATE_SETMODE, &wire::STATE_SETTRGV, &wire::STATE_RUN,
        &wire::STATE_STOP,    &wire::STATE_DATAREAD, &wire::STATE_SETREAD, &wire::STATE_NAC};
    index %= kStateCount;
    if (index < 0)
        index += kStateCount;
    return *states[index];
}

void SimulatePress(Form1 &form, int stateIndex)
{
    form.Picture1->clearDrawing();
    form.state.LastSampleIndex = -1;
    const QString &s = TransactionState(stateIndex);
    form.state.PendingCommand = s;
    if (s == wire::STATE_RUN || s == wire::STATE_STOP || s == wire::STATE_DATAREAD || s == wire::STATE_SETREAD)
        form.state.ReplyPos = 0;
}

void SimulateLoad(Form1 &form, int32_t last)
{
    last = std::max<int32_t>(last, -1);
    form.state.LastSampleIndex = last;
    form.state.SampleData.create(form.isAnalogMode() ? 3 : 2, last);
}

void ResetForm(Form1 &form)
{
    form.selectOption(form.Option4[0]);
    form.setListIndex(form.Combo1, 0);
    form.setListIndex(form.Combo2, 1);
    form.setSliderValue(form.Slider1->maximum());
    form.HScroll1->setValue(0);
    form.state.PendingCommand.clear();
    form.state.ReplyPos = 0;
    form.state.RxWord = 0;
    form.state.LastSampleIndex = -1;
    form.state.SampleData.reset();
}

std::string ReceiveInvariantViolation(const Form1 &form)
{
    const AppState &s = form.state;
    const SampleStore &sd = s.SampleData;
    std::ostringstream why;
    if (!wire::isKnownState(s.PendingCommand)) {
        why << "PendingCommand \"" << s.PendingCommand.toStdString() << "\" is not a transaction state";
    } else if (s.LastSampleIndex < -1 || s.LastSampleIndex > sd.upperBound()) {
        why << "LastSampleIndex " << s.LastSampleIndex << " outside -1.." << sd.upperBound()
            << " (the records of the store)";
    } else if (s.LastSampleIndex >= 0 && sd.fieldCount() < 2) {
        why << "record " << s.LastSampleIndex << " held but the store has " << sd.fieldCount() << " fields";
    } else if (s.LastSampleIndex >= 0 && form.isAnalogMode() && sd.fieldCount() < 3) {
        why << "Analog mode with record " << s.LastSampleIndex << " held but no field 2 in the store";
    } else if (s.ReplyPos < 0) {
        why << "ReplyPos " << s.ReplyPos << " is negative";
    }
    return why.str();
}

// ---------------------------------------------------------------- receive input

namespace {

class Cursor {
public:
    Cursor(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    bool atEnd() const { return p_ == end_; }
    uint8_t next() { return p_ == end_ ? 0 : *p_++; }
    QByteArray take(size_t n)
    {
        n = std::min(n, static_cast<size_t>(end_ - p_));
        QByteArray b(reinterpret_cast<const char *>(p_), static_cast<qsizetype>(n));
        p_ += n;
        return b;
    }

private:
    const uint8_t *p_;
    const uint8_t *end_;
};

} // namespace

// Input format:
//   byte 0   starting state (value mod 12), Analog mode when bit 7 is set
//   byte 1   starting ReplyPos: 0..63 as is, 64..127 as 3..4 times larger
//            positions inside a long stream, 128..255 scaled far beyond the
//            store's record limit
//   then a script; each control byte c is
//     0x00..0xEF  a chunk of the next c + 1 bytes, handled as one receive event
//     0xF0, 0xF1  the user selects Logic, Analog (Option4)
//     0xF2 s      a device press that sets state s
//     0xF3 h l    a Load: store with records 0..((h*256+l) mod 5000) - 1
//     0xF4 v      the user scrolls the view to v/255 of its range (redraw)
//     0xF5 s      PendingCommand := state s alone (a nested press ending, a
//                 Run clearing its state)
//     0xF6..0xFF  a chunk of the next (c - 0xF5) * 1024 bytes
std::string RunReceiveInput(Form1 &form, const uint8_t *data, size_t size)
{
    ResetForm(form);
    Cursor in(data, size);
    const uint8_t head = in.next();
    if (head & 0x80)
        form.selectOption(form.Option4[1]);
    form.state.PendingCommand = TransactionState(head & 0x7F);
    const uint8_t pos = in.next();
    if (pos < 64)
        form.state.ReplyPos = pos;
    else if (pos < 128)
        form.state.ReplyPos = int32_t(pos) * 997;
    else
        form.state.ReplyPos = int32_t(pos - 128) * 16777213 + 1;

    std::string why = ReceiveInvariantViolation(form);
    int step = 0;
    while (why.empty() && !in.atEnd()) {
        const uint8_t c = in.next();
        std::string action;
        if (c <= 0xEF) {
            form.ReceiveChunkForTest(in.take(size_t(c) + 1));
            action = "chunk";
        } else if (c == 0xF0 || c == 0xF1) {
            form.selectOption(form.Option4[c & 1]);
            action = "mode switch";
        } else if (c == 0xF2) {
            SimulatePress(form, in.next());
            action = "press";
        } else if (c == 0xF3) {
            const int h = in.next();
            const int l = in.next();
            SimulateLoad(form, (h * 256 + l) % 5000 - 1);
            action = "load";
        } else if (c == 0xF4) {
            const int v = in.next();
            form.HScroll1->setValue(form.HScroll1->maximum() / 255 * v);
            form.HScroll1_Change();
            action = "scroll";
        } else if (c == 0xF5) {
            form.state.PendingCommand = TransactionState(in.next());
            action = "state";
        } else {
            form.ReceiveChunkForTest(in.take(size_t(c - 0xF5) * 1024));
            action = "big chunk";
        }
        ++step;
        why = ReceiveInvariantViolation(form);
        if (!why.empty())
            why += " (after step " + std::to_string(step) + ", " + action + ")";
    }
    if (why.empty()) {
        // What is held must also draw: the renderer reads records
        // 0..LastSampleIndex.
        form.HScroll1_Change();
    }
    return why;
}

// ---------------------------------------------------------------- capture files

namespace {

// The documented field rules of the capture file, written out plainly: the
// text is cut into fields first, then each field is judged on its own.
std::vector<QByteArray> ReferenceFields(const QByteArray &text)
{
    auto lineEnd = [](char c) { return c == '\r' || c == '\n'; };
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::vector<QByteArray> fields;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool pending = false;
    auto skip = [&] {
        while (i < n && (blank(text[i]) || (!pending && lineEnd(text[i]))))
            ++i;
    };
    skip();
    while (i < n || pending) {
        qsizetype j = i;
        while (j < n && text[j] != ',' && !lineEnd(text[j]))
            ++j;
        fields.push_back(text.mid(i, j - i));
        pending = j < n && text[j] == ',';
        i = j < n ? j + 1 : j;
        skip();
    }
    return fields;
}

// A field as a number: blanks around it, an optional sign, one digit or more.
// nullopt when it is not such a number; magnitudes saturate far above 2^32.
std::optional<int64_t> ReferenceValue(const QByteArray &field)
{
    qsizetype a = 0, b = field.size();
    while (a < b && (field[a] == ' ' || field[a] == '\t'))
        ++a;
    while (b > a && (field[b - 1] == ' ' || field[b - 1] == '\t'))
        --b;
    bool negative = false;
    if (a < b && (field[a] == '-' || field[a] == '+')) {
        negative = field[a] == '-';
        ++a;
    }
    if (a == b)
        return std::nullopt;
    int64_t v = 0;
    for (qsizetype k = a; k < b; ++k) {
        if (field[k] < '0' || field[k] > '9')
            return std::nullopt;
        v = std::min<int64_t>(v * 10 + (field[k] - '0'), int64_t(1) << 40);
    }
    return negative ? -v : v;
}

std::optional<uint8_t> ReferenceByte(const std::vector<QByteArray> &fields, size_t k)
{
    if (k >= fields.size())
        return std::nullopt;
    const auto v = ReferenceValue(fields[k]);
    if (!v || *v < 0 || *v > 255)
        return std::nullopt;
    return uint8_t(*v);
}

std::optional<int32_t> ReferenceLong(const std::vector<QByteArray> &fields, size_t k)
{
    if (k >= fields.size())
        return std::nullopt;
    const auto v = ReferenceValue(fields[k]);
    if (!v || *v < INT32_MIN || *v > INT32_MAX)
        return std::nullopt;
    return int32_t(*v);
}

std::string Show(const std::optional<int64_t> &v) { return v ? std::to_string(*v) : std::string("failure"); }

} // namespace

std::string ParsedCaptureViolation(const CaptureLoadContext &context, const QByteArray &text)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    ParsedCapture out;
    const ParseResult result = ParseCaptureFile(buffer, context, out);

    const std::vector<QByteArray> fields = ReferenceFields(text);
    std::ostringstream why;
    uint8_t holder = 0;
    for (size_t k = 0; k < 6; ++k) {
        const auto expected = ReferenceByte(fields, k);
        if (expected != out.settings[k]) {
            why << "settings field " << k + 1 << ": read " << Show(out.settings[k]) << ", the text holds "
                << Show(expected);
            return why.str();
        }
        if (expected)
            holder = *expected;
        if (out.holder[k] != holder) {
            why << "field holder after settings field " << k + 1 << " is " << int(out.holder[k]) << ", expected "
                << int(holder);
            return why.str();
        }
    }
    const bool analog = out.holder[3] == 1;
    if (out.analog != analog)
        return "record layout does not follow field 4";
    const auto line2 = ReferenceLong(fields, 6);
    if (line2 != out.lastSampleIndex) {
        why << "line 2 read as " << Show(out.lastSampleIndex) << ", the text holds " << Show(line2);
        return why.str();
    }
    if (result == ParseResult::BadRecordCount) {
        if (!line2 || (*line2 >= -1 && *line2 <= context.maxLastSampleIndex)) {
            why << "record index " << Show(line2) << " refused although it lies in -1.." << context.maxLastSampleIndex;
            return why.str();
        }
        if (!out.records.isEmpty())
            return "a refused file left records allocated";
        return {};
    }
    if (line2 && (*line2 < -1 || *line2 > context.maxLastSampleIndex)) {
        why << "record index " << *line2 << " accepted although the limit is " << context.maxLastSampleIndex;
        return why.str();
    }
    const int32_t expectedLast =
        line2 ? *line2 : (analog != context.analogBefore ? -1 : context.lastSampleIndexBefore);
    if (out.recordsLastIndex != expectedLast) {
        why << "records up to " << out.recordsLastIndex << ", expected up to " << expectedLast;
        return why.str();
    }
    const SampleStore &r = out.records;
    if (expectedLast < 0) {
        if (!r.isEmpty())
            return "records allocated for a capture without records";
        return {};
    }
    const int width = analog ? 3 : 2;
    if (r.upperBound() != expectedLast || r.fieldCount() != width) {
        why << "store of records 0.." << r.upperBound() << " with " << r.fieldCount() << " fields, expected 0.."
            << expectedLast << " with " << width;
        return why.str();
    }
    // Every record that has text behind it is compared; past the text every
    // value is 0 (checked on the first records there and the last one).
    const int64_t withText = fields.size() > 7 ? int64_t(fields.size() - 7) / width + 1 : 0;
    const int64_t checkUpTo = std::min<int64_t>(expectedLast, withText + 4);
    auto compare = [&](int32_t n) -> bool {
        for (int f = 0; f < width; ++f) {
            const auto v = ReferenceLong(fields, 7 + size_t(n) * size_t(width) + size_t(f));
            const int32_t expected = v ? *v : 0;
            if (r.at(f, n) != expected) {
                why << "record " << n << " field " << f << " is " << r.at(f, n) << ", expected " << expected;
                return false;
            }
        }
        return true;
    };
    for (int32_t n = 0; n <= checkUpTo; ++n)
        if (!compare(n))
            return why.str();
    if (!compare(expectedLast))
        return why.str();
    return {};
}

std::string RunCaptureFileInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // The reader alone: a mix of byte and long reads that the text itself
    // chooses, compared with the documented field rules.
    {
        QByteArray copy = text;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        CaptureFileReader reader(buffer);
        const std::vector<QByteArray> fields = ReferenceFields(text);
        size_t k = 0;
        for (; k < fields.size() + 3; ++k) {
            const bool asByte = size > 0 && (data[k % size] & 1);
            std::optional<int64_t> got, expected;
            if (asByte) {
                if (const auto v = reader.ReadByteField())
                    got = *v;
                if (const auto v = ReferenceByte(fields, k))
                    expected = *v;
            } else {
                if (const auto v = reader.ReadLongField())
                    got = *v;
                if (const auto v = ReferenceLong(fields, k))
                    expected = *v;
            }
            if (got != expected) {
                std::ostringstream why;
                why << "field " << k + 1 << " (" << (asByte ? "byte" : "long") << " read): read " << Show(got)
                    << ", the text holds " << Show(expected);
                return why.str();
            }
            if (k + 1 == fields.size() && !reader.atEnd())
                return "the reader does not report the end after the last field";
        }
        if (!reader.atEnd())
            return "the reader does not stay at the end";
    }

    // The parser Load uses, with a context that the text chooses too.
    CaptureLoadContext context;
    const uint8_t h = size > 0 ? data[size - 1] : 0;
    context.analogBefore = h & 1;
    context.lastSampleIndexBefore = (h & 2) ? int32_t(h >> 2) : -1;
    context.maxLastSampleIndex = (h & 0x40) ? 100 : Form1::kMaxStreamRecords - 1;
    return ParsedCaptureViolation(context, text);
}

} // namespace hostile
