#include "export/vcd_import.h"

#include <QHash>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "export/import_fit.h"

namespace {

constexpr int64_t kFsPerPs = 1000;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
// Declarations beyond this are not a capture of eight channels.
constexpr int kMaxVariables = 65536;

struct Token {
    const char *p = nullptr;
    qsizetype size = 0;
    bool is(const char *s) const { return QByteArrayView(p, size) == QByteArrayView(s); }
    QByteArray bytes() const { return QByteArray(p, size); }
    QString text() const { return QString::fromUtf8(p, size); }
};

// Whitespace-separated words, with the line each starts on for messages.
class Tokens {
public:
    explicit Tokens(const QByteArray &text) : p_(text.constData()), end_(p_ + text.size()) {}
    bool next(Token &t)
    {
        while (p_ < end_ && IsSpace(*p_)) {
            if (*p_ == '\n')
                ++line_;
            ++p_;
        }
        if (p_ == end_)
            return false;
        t.p = p_;
        while (p_ < end_ && !IsSpace(*p_))
            ++p_;
        t.size = p_ - t.p;
        return true;
    }
    // Text up to the next "$end" (which is consumed); false when it is missing.
    bool untilEnd(QByteArray *text = nullptr)
    {
        const char *start = p_;
        Token t;
        while (next(t)) {
            if (t.is("$end")) {
                if (text)
                    *text = QByteArray(start, t.p - start);
                return true;
            }
        }
        return false;
    }
    int line() const { return line_; }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
    const char *p_;
    const char *end_;
    int line_ = 1;
};

// What a variable's value changes drive.
struct Target {
    uint8_t logicMask = 0; // channels this identifier is (aliases share one)
    bool analog = false;
};

// "10 ns", "1ps", "100 us" in femtoseconds; 0 when not a timescale.
int64_t ParseTimescale(const QByteArray &text)
{
    const QByteArray t = text.simplified().replace(' ', "");
    static const std::array<std::pair<const char *, int64_t>, 6> units = {
        {{"fs", 1}, {"ps", 1'000}, {"ns", 1'000'000}, {"us", 1'000'000'000}, {"ms", 1'000'000'000'000}, {"s", 1'000'000'000'000'000}}};
    for (const auto &[name, fs] : units) {
        if (!t.endsWith(name))
            continue;
        const QByteArray number = t.left(t.size() - qsizetype(strlen(name)));
        if (number == "1" || number == "10" || number == "100")
            return fs * number.toLongLong();
        return 0;
    }
    return 0;
}

// Non-negative decimal digits, saturating at kNever; -1 when not digits.
int64_t ParseTime(const char *p, qsizetype n)
{
    if (n == 0)
        return -1;
    int64_t v = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        const int d = p[i] - '0';
        v = v > (kNever - d) / 10 ? kNever : v * 10 + d;
    }
    return v;
}

QString TimeText(int64_t fs)
{
    if (fs % 1'000 == 0)
        return PeriodText(fs / kFsPerPs);
    return QStringLiteral("%1 fs").arg(fs);
}

class VcdReader {
public:
    explicit VcdReader(const QByteArray &text) : tokens_(text) {}
    ImportResult run();

private:
    bool header();
    bool declare();
    bool body();
    bool commit();
    bool fail(const QString &why)
    {
        error_ = why;
        return false;
    }
    const Target *lookup(const Token &id) const
    {
        if (id.size == 1 && uint8_t(id.p[0]) < 128)
            return single_[uint8_t(id.p[0])].known ? &single_[uint8_t(id.p[0])].target : nullptr;
        const auto it = multi_.constFind(id.bytes());
        return it == multi_.constEnd() ? nullptr : &it.value();
    }

    Tokens tokens_;
    QString error_;
    QStringList warnings_;
    CaptureNotes notes_;
    int64_t timescaleFs_ = 0;

    // Declarations.
    struct Single {
        bool known = false;
        Target target;
    };
    std::array<Single, 128> single_{};
    QHash<QByteArray, Target> multi_;
    int variables_ = 0;
    int logicChannels_ = 0;
    int extraLogic_ = 0;
    bool hasAnalog_ = false;
    int extraAnalog_ = 0;
    int vectors_ = 0;

    // Values as the body sets them, and the changes committed so far.
    uint8_t levels_ = 0;
    double volts_ = 0;
    bool undefinedLevels_ = false;
    int64_t time_ = 0;
    // Before the first change every level is low and the input at 0 V, as
    // in a capture before its first record.
    uint8_t committedLevels_ = 0;
    double committedVolts_ = 0;
    int64_t lastStampFs_ = 0;
    struct Change {
        int64_t timeFs;
        uint8_t levels;
        double volts;
    };
    std::vector<Change> changes_{{0, 0, 0.0}}; // within the window of the slowest rate still possible

    // The rates of the mode, slowest first, and whether every change in each
    // one's window falls on its periods.
    std::array<int64_t, Capture::kRateCount> periodFs_{};
    std::array<bool, Capture::kRateCount> fits_{};
    int64_t limit_ = 0; // sample periods the mode allows
    bool beyondWindow_ = false;
    int64_t window(size_t i) const { return periodFs_[i] > kNever / limit_ ? kNever : periodFs_[i] * limit_; }
    // Window of the slowest rate every change so far fits; 0 when none fits.
    int64_t widestWindow() const
    {
        for (size_t i = 0; i < fits_.size(); ++i) {
            if (fits_[i])
                return window(i);
        }
        return 0;
    }
};

bool VcdReader::declare()
{
    // $var <type> <size> <identifier> <name...> $end
    Token type, size, id;
    const int line = tokens_.line();
    if (!tokens_.next(type) || !tokens_.next(size) || !tokens_.next(id) || id.is("$end"))
        return fail(QStringLiteral("its $var in line %1 is incomplete").arg(line));
    if (!tokens_.untilEnd())
        return fail(QStringLiteral("its $var in line %1 has no $end").arg(line));
    if (++variables_ > kMaxVariables)
        return fail(QStringLiteral("it declares more than %1 variables").arg(kMaxVariables));
    bool sizeOk = false;
    const int width = size.bytes().toInt(&sizeOk);
    if (!sizeOk || width < 1)
        return fail(QStringLiteral("its $var in line %1 has no valid size").arg(line));

    Target add;
    if (type.is("real") || type.is("realtime")) {
        if (hasAnalog_)
            ++extraAnalog_;
        else
            add.analog = hasAnalog_ = true;
    } else if (width == 1) {
        if (logicChannels_ < Capture::kChannels)
            add.logicMask = uint8_t(1u << logicChannels_++);
        else
            ++extraLogic_;
    } else {
        ++vectors_;
    }
    Target *t;
    if (id.size == 1 && uint8_t(id.p[0]) < 128) {
        single_[uint8_t(id.p[0])].known = true;
        t = &single_[uint8_t(id.p[0])].target;
    } else {
        t = &multi_[id.bytes()];
    }
    // An identifier declared twice drives both variables.
    t->logicMask |= add.logicMask;
    t->analog = t->analog || add.analog;
    return true;
}

bool VcdReader::header()
{
    Token t;
    while (tokens_.next(t)) {
        const int line = tokens_.line();
        if (t.is("$end"))
            continue; // a stray one closes nothing
        if (t.is("$enddefinitions"))
            return tokens_.untilEnd() || fail(QStringLiteral("its $enddefinitions has no $end"));
        if (t.is("$var")) {
            if (!declare())
                return false;
        } else if (t.is("$timescale")) {
            QByteArray text;
            if (!tokens_.untilEnd(&text))
                return fail(QStringLiteral("its $timescale in line %1 has no $end").arg(line));
            timescaleFs_ = ParseTimescale(text);
            if (timescaleFs_ == 0)
                return fail(QStringLiteral("its timescale \"%1\" is not 1, 10 or 100 s, ms, us, ns, ps or fs")
                                .arg(QString::fromUtf8(text.simplified().left(40))));
        } else if (t.is("$comment")) {
            QByteArray text;
            if (!tokens_.untilEnd(&text))
                return fail(QStringLiteral("its $comment in line %1 has no $end").arg(line));
            for (const QByteArray &l : text.split('\n'))
                ReadCaptureNote(QString::fromUtf8(l).trimmed(), notes_);
        } else if (t.size > 1 && t.p[0] == '$') {
            // $date, $version, $scope, $upscope and anything else: words up to $end.
            if (!tokens_.untilEnd())
                return fail(QStringLiteral("its %1 in line %2 has no $end").arg(t.text().left(40)).arg(line));
        } else {
            return fail(QStringLiteral("\"%1\" in line %2 is not part of a VCD header").arg(t.text().left(40)).arg(line));
        }
    }
    return fail(QStringLiteral("it ends before $enddefinitions"));
}

// The values at the time stamp now ending become a change when they differ
// from the ones committed before.
bool VcdReader::commit()
{
    if (levels_ == committedLevels_ && volts_ == committedVolts_)
        return true;
    committedLevels_ = levels_;
    committedVolts_ = volts_;
    // Every rate whose window holds this change must have it on a period.
    bool any = false;
    for (size_t i = 0; i < fits_.size(); ++i) {
        if (fits_[i] && time_ < window(i) && time_ % periodFs_[i] != 0)
            fits_[i] = false;
        any = any || fits_[i];
    }
    if (!any) {
        const Capture::Mode mode = hasAnalog_ ? Capture::Mode::Analog : Capture::Mode::Logic;
        return fail(QStringLiteral("its change at %1 falls between the %2 sample periods of the instrument's fastest "
                                   "%3 rate (%4)")
                        .arg(TimeText(time_), PeriodText(Capture::samplePeriodPsFor(mode, 0)),
                             hasAnalog_ ? QStringLiteral("Analog") : QStringLiteral("Logic"),
                             SampleRateText(Capture::sampleRateHzFor(mode, 0))));
    }
    const int64_t widest = widestWindow();
    while (!changes_.empty() && changes_.back().timeFs >= widest)
        changes_.pop_back();
    if (time_ < widest)
        changes_.push_back({time_, levels_, volts_});
    else
        beyondWindow_ = true;
    return true;
}

bool VcdReader::body()
{
    const Capture::Mode mode = hasAnalog_ ? Capture::Mode::Analog : Capture::Mode::Logic;
    limit_ = MaxImportSamples(hasAnalog_);
    for (int i = 0; i < Capture::kRateCount; ++i) {
        periodFs_[size_t(i)] = Capture::samplePeriodPsFor(mode, Capture::kRateCount - 1 - i) * kFsPerPs;
        fits_[size_t(i)] = true;
    }

    Token t;
    bool started = false; // a time stamp has been seen
    while (tokens_.next(t)) {
        const char c = t.p[0];
        if (c == '#') {
            const int64_t stamp = ParseTime(t.p + 1, t.size - 1);
            if (stamp < 0)
                return fail(QStringLiteral("\"%1\" in line %2 is not a time stamp").arg(t.text().left(40)).arg(tokens_.line()));
            const int64_t fs = stamp > kNever / timescaleFs_ ? kNever : stamp * timescaleFs_;
            if (started && fs < time_)
                return fail(QStringLiteral("its time goes back to #%1 in line %2").arg(stamp).arg(tokens_.line()));
            if (!started || fs > time_) {
                if (started && !commit())
                    return false;
                time_ = fs;
                started = true;
            }
            lastStampFs_ = fs;
        } else if (c == '$') {
            // $dumpvars, $dumpall, $dumpon, $dumpoff and their $end only
            // frame value changes; a $comment is skipped.
            if (t.is("$comment") && !tokens_.untilEnd())
                return fail(QStringLiteral("its $comment in line %1 has no $end").arg(tokens_.line()));
        } else if (c == '0' || c == '1' || c == 'x' || c == 'X' || c == 'z' || c == 'Z') {
            const Token id{t.p + 1, t.size - 1};
            const Target *target = lookup(id);
            if (!target)
                return fail(QStringLiteral("its value change \"%1\" in line %2 names no declared variable")
                                .arg(t.text().left(40))
                                .arg(tokens_.line()));
            if (c != '0' && c != '1' && target->logicMask)
                undefinedLevels_ = true;
            levels_ = c == '1' ? uint8_t(levels_ | target->logicMask) : uint8_t(levels_ & ~target->logicMask);
        } else if (c == 'b' || c == 'B' || c == 'r' || c == 'R') {
            Token id;
            if (!tokens_.next(id))
                return fail(QStringLiteral("its value \"%1\" in line %2 names no variable").arg(t.text().left(40)).arg(tokens_.line()));
            const Target *target = lookup(id);
            if (!target)
                return fail(QStringLiteral("its value change for \"%1\" in line %2 names no declared variable")
                                .arg(id.text().left(40))
                                .arg(tokens_.line()));
            if (c == 'r' || c == 'R') {
                bool ok = false;
                const double v = QByteArray(t.p + 1, t.size - 1).toDouble(&ok);
                if (!ok || !std::isfinite(v))
                    return fail(QStringLiteral("its real value \"%1\" in line %2 is not a number").arg(t.text().left(40)).arg(tokens_.line()));
                if (target->analog)
                    volts_ = v;
            } else if (target->logicMask) {
                // A vector value on a 1-bit variable: its last bit.
                const char bit = t.size > 1 ? t.p[t.size - 1] : 'x';
                if (bit != '0' && bit != '1')
                    undefinedLevels_ = true;
                levels_ = bit == '1' ? uint8_t(levels_ | target->logicMask) : uint8_t(levels_ & ~target->logicMask);
            }
        } else {
            return fail(QStringLiteral("\"%1\" in line %2 is not a VCD value change").arg(t.text().left(40)).arg(tokens_.line()));
        }
    }
    return commit();
}

ImportResult VcdReader::run()
{
    if (!header())
        return ImportResult::refused(error_);
    if (timescaleFs_ == 0)
        return ImportResult::refused(QStringLiteral("it has no $timescale"));
    if (logicChannels_ == 0 && !hasAnalog_)
        return ImportResult::refused(QStringLiteral("it declares no 1-bit or real variable"));
    if (!body())
        return ImportResult::refused(error_);

    // The rate: the noted one if every change fits it, else the slowest that fits.
    const Capture::Mode mode = hasAnalog_ ? Capture::Mode::Analog : Capture::Mode::Logic;
    size_t chosen = fits_.size();
    for (size_t i = 0; i < fits_.size(); ++i) {
        const uint64_t hz = Capture::sampleRateHzFor(mode, Capture::kRateCount - 1 - int(i));
        if (fits_[i] && (chosen == fits_.size() || notes_.sampleRateHz == hz))
            chosen = i;
    }
    const int64_t period = periodFs_[chosen];
    const int64_t end = window(chosen);

    SampledSignals s;
    s.rateHz = Capture::sampleRateHzFor(mode, Capture::kRateCount - 1 - int(chosen));
    s.hasAnalog = hasAnalog_;
    s.notes = notes_;
    int64_t count = lastStampFs_ >= end ? limit_ : (lastStampFs_ + period - 1) / period;
    bool cut = beyondWindow_ || lastStampFs_ > end;
    for (const Change &ch : changes_) {
        if (ch.timeFs >= end)
            cut = true;
        else
            count = std::max(count, ch.timeFs / period + 1);
    }
    count = std::min(count, limit_);
    s.levels.assign(size_t(count), 0);
    if (hasAnalog_)
        s.volts.assign(size_t(count), 0.0);
    for (size_t i = 0; i < changes_.size(); ++i) {
        const int64_t from = changes_[i].timeFs / period;
        const int64_t to = i + 1 < changes_.size() ? std::min(changes_[i + 1].timeFs / period, count) : count;
        for (int64_t n = from; n < to; ++n) {
            s.levels[size_t(n)] = changes_[i].levels;
            if (hasAnalog_)
                s.volts[size_t(n)] = changes_[i].volts;
        }
    }

    if (extraLogic_ > 0)
        warnings_ << QStringLiteral("The file has %1 logic signals; the first %2 are kept.")
                         .arg(logicChannels_ + extraLogic_)
                         .arg(Capture::kChannels);
    if (extraAnalog_ > 0)
        warnings_ << QStringLiteral("The file has %1 real signals; only the first is kept as the analog input.")
                         .arg(extraAnalog_ + 1);
    if (vectors_ > 0)
        warnings_ << QStringLiteral("%1 signal(s) wider than one bit are left out.").arg(vectors_);
    if (undefinedLevels_)
        warnings_ << QStringLiteral("Undefined levels (x, z) are read as low.");
    if (cut)
        warnings_ << QStringLiteral("Only the first %1 sample periods (%2) are kept: the instrument records no more.")
                         .arg(limit_)
                         .arg(TimeText(limit_ * period));
    return FitSamples(s, warnings_);
}

} // namespace

ImportResult ImportVcd(const QByteArray &text)
{
    VcdReader reader(text);
    return reader.run();
}
