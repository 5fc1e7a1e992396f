#include "export/csv_import.h"

#include <QByteArrayView>
#include <array>
#include <cmath>
#include <optional>

#include "export/import_fit.h"

namespace {

constexpr int kMaxColumns = 4096;
// Rows beyond the longest capture cannot be kept: each row is at least one
// sample period later than the one before it, and the first is period 0.
constexpr int32_t kMaxRows = Capture::kMaxTime + 1;

struct Field {
    const char *p;
    qsizetype size;
    QString text() const { return QString::fromUtf8(p, size).left(40); }
};

// Fast path for the plain decimals exports write ("0.00000005", "1.960784"),
// Qt's parser for everything else; false unless a finite number.
bool ParseNumber(const Field &f, double *out)
{
    const char *p = f.p, *end = f.p + f.size;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    uint64_t mantissa = 0;
    int digits = 0, scale = 0;
    bool any = false, point = false;
    for (; p < end; ++p) {
        if (*p == '.' && !point) {
            point = true;
            continue;
        }
        if (*p < '0' || *p > '9')
            break;
        any = true;
        if (digits < 18) {
            mantissa = mantissa * 10 + uint64_t(*p - '0');
            if (mantissa != 0)
                ++digits;
            if (point)
                ++scale;
        } else if (!point) {
            --scale; // further whole digits beyond the kept ones
        }
    }
    if (any && p == end) {
        static const std::array<double, 23> powers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        if (scale >= 0 && scale < int(powers.size())) {
            const double v = double(mantissa) / powers[size_t(scale)];
            *out = negative ? -v : v;
            return true;
        }
    }
    bool ok = false;
    const double v = QByteArrayView(f.p, f.size).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool IsBinary(const Field &f) { return f.size == 1 && (f.p[0] == '0' || f.p[0] == '1'); }

// Lines of the text with their numbers; comments are handed to `comment`.
class Lines {
public:
    explicit Lines(const QByteArray &text) : p_(text.constData()), end_(p_ + text.size()) {}
    // Next line that holds data, without its comment part; false at the end.
    template <typename OnComment>
    bool next(QByteArrayView &line, OnComment &&comment)
    {
        while (p_ < end_) {
            const char *start = p_;
            while (p_ < end_ && *p_ != '\n' && *p_ != '\r')
                ++p_;
            QByteArrayView l(start, p_ - start);
            if (p_ < end_ && *p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n')
                ++p_;
            if (p_ < end_)
                ++p_;
            ++number_;
            const qsizetype semicolon = l.indexOf(';');
            if (semicolon >= 0) {
                comment(l.sliced(semicolon + 1));
                l = l.first(semicolon);
            }
            l = l.trimmed();
            if (!l.isEmpty()) {
                line = l;
                return true;
            }
        }
        return false;
    }
    int number() const { return number_; }

private:
    const char *p_;
    const char *end_;
    int number_ = 0;
};

// The fields of a line, at most one more than kMaxColumns: a line of a
// million commas costs no more than a line that is merely too wide.
void SplitFields(QByteArrayView line, std::vector<Field> &fields)
{
    fields.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size() && fields.size() <= size_t(kMaxColumns); ++i) {
        if (i == line.size() || line[i] == ',') {
            QByteArrayView f = line.sliced(start, i - start).trimmed();
            if (f.size() >= 2 && f.front() == '"' && f.back() == '"')
                f = f.sliced(1, f.size() - 2);
            fields.push_back({f.data(), f.size()});
            start = i + 1;
        }
    }
}

// Seconds per unit of a time column ("time_s", "t", sigrok's
// "nanoseconds", "time_us", ...); nullopt when the name is not a time.
std::optional<double> TimeColumnUnit(const QString &name)
{
    QString n = name.trimmed().toLower();
    n.remove(QLatin1Char(' '));
    n.remove(QLatin1Char('('));
    n.remove(QLatin1Char(')'));
    n.remove(QLatin1Char('['));
    n.remove(QLatin1Char(']'));
    if (n.startsWith(QLatin1String("time"))) {
        n = n.mid(4);
        if (n.startsWith(QLatin1Char('_')))
            n = n.mid(1);
        if (n.isEmpty())
            return 1.0;
    } else if (n == QLatin1String("t")) {
        return 1.0;
    }
    static const std::array<std::pair<const char *, double>, 10> units = {{{"s", 1}, {"seconds", 1},
        {"ms", 1e-3}, {"milliseconds", 1e-3}, {"us", 1e-6}, {"microseconds", 1e-6}, {"ns", 1e-9},
        {"nanoseconds", 1e-9}, {"ps", 1e-12}, {"picoseconds", 1e-12}}};
    for (const auto &[unit, seconds] : units) {
        if (n == QLatin1String(unit))
            return seconds;
    }
    return std::nullopt;
}

bool NamesAnalog(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n.contains(QLatin1String("analog")) || n.contains(QLatin1String("volt")) || n.contains(QLatin1String("v dc"))
        || n.contains(QLatin1String("v ac")) || n == QLatin1String("v"))
        return true;
    for (const char *suffix : {"_v", " v", "(v)", "[v]"}) {
        if (n.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

class CsvReader {
public:
    explicit CsvReader(const QByteArray &text) : text_(text) {}
    ImportResult run();

private:
    bool classify();
    bool rate();
    bool collect();
    ImportResult refused(const QString &why) const { return ImportResult::refused(why); }

    const QByteArray &text_;
    QString error_;
    QStringList warnings_;
    CaptureNotes notes_;
    std::vector<QString> names_;
    int columns_ = 0;
    bool header_ = false;
    std::vector<bool> nonBinary_;
    int rows_ = 0;          // data rows read (at most kMaxRows)
    bool moreRows_ = false; // rows beyond kMaxRows
    int timeColumn_ = -1;
    double timeUnit_ = 1; // seconds per unit of the time column
    std::vector<int> logic_;
    int analog_ = -1;
    std::vector<uint8_t> levels_; // of each row
    std::vector<double> volts_;
    std::vector<double> times_;
    uint64_t rateHz_ = 0;
    std::vector<int64_t> index_; // sample period of each row
};

// First pass: the header, the column count, which columns hold only 0 and
// 1, and the notes in the comments.
bool CsvReader::classify()
{
    Lines lines(text_);
    auto onComment = [this](QByteArrayView c) { ReadCaptureNote(QString::fromUtf8(c).trimmed(), notes_); };
    std::vector<Field> fields;
    QByteArrayView line;
    while (lines.next(line, onComment)) {
        SplitFields(line, fields);
        if (columns_ == 0) {
            if (fields.size() > size_t(kMaxColumns)) {
                error_ = QStringLiteral("it has more than %1 columns").arg(kMaxColumns);
                return false;
            }
            columns_ = int(fields.size());
            nonBinary_.assign(size_t(columns_), false);
            double v;
            for (const Field &f : fields)
                header_ = header_ || !ParseNumber(f, &v);
            if (header_) {
                for (const Field &f : fields)
                    names_.push_back(QString::fromUtf8(f.p, f.size));
                continue;
            }
            names_.assign(size_t(columns_), QString());
        }
        if (int(fields.size()) != columns_) {
            error_ = QStringLiteral("line %1 has %2 values where the first row has %3")
                         .arg(lines.number())
                         .arg(fields.size())
                         .arg(columns_);
            return false;
        }
        if (rows_ == kMaxRows) {
            moreRows_ = true;
            break;
        }
        for (int c = 0; c < columns_; ++c) {
            const Field &f = fields[size_t(c)];
            if (IsBinary(f))
                continue;
            double v;
            if (!ParseNumber(f, &v)) {
                error_ = QStringLiteral("\"%1\" in line %2, column %3 is not a number").arg(f.text()).arg(lines.number()).arg(c + 1);
                return false;
            }
            if (v != 0 && v != 1)
                nonBinary_[size_t(c)] = true;
        }
        ++rows_;
    }
    if (rows_ == 0) {
        error_ = QStringLiteral("it holds no rows of values");
        return false;
    }

    int extraLogic = 0, extraAnalog = 0;
    for (int c = 0; c < columns_; ++c) {
        if (header_ && timeColumn_ < 0 && TimeColumnUnit(names_[size_t(c)])) {
            timeColumn_ = c;
            timeUnit_ = *TimeColumnUnit(names_[size_t(c)]);
        } else if (nonBinary_[size_t(c)] || (header_ && NamesAnalog(names_[size_t(c)]))) {
            if (analog_ < 0)
                analog_ = c;
            else
                ++extraAnalog;
        } else if (logic_.size() < size_t(Capture::kChannels)) {
            logic_.push_back(c);
        } else {
            ++extraLogic;
        }
    }
    if (logic_.empty() && analog_ < 0) {
        error_ = QStringLiteral("it has no column of logic levels or analog values");
        return false;
    }
    if (extraLogic > 0)
        warnings_ << QStringLiteral("The file has %1 logic columns; the first %2 are kept.")
                         .arg(int(logic_.size()) + extraLogic)
                         .arg(Capture::kChannels);
    if (extraAnalog > 0)
        warnings_ << QStringLiteral("The file has %1 analog columns; only the first is kept.").arg(extraAnalog + 1);
    return true;
}

// The sample rate and the sample period of every row.
bool CsvReader::rate()
{
    const bool analog = analog_ >= 0;
    const Capture::Mode mode = analog ? Capture::Mode::Analog : Capture::Mode::Logic;
    index_.resize(size_t(rows_));
    if (timeColumn_ < 0) {
        if (!notes_.sampleRateHz) {
            error_ = QStringLiteral("it has neither a time column nor a sample rate in its comments");
            return false;
        }
        rateHz_ = *notes_.sampleRateHz;
        for (int r = 0; r < rows_; ++r)
            index_[size_t(r)] = r;
        return true;
    }

    // Periods of the rows at a rate; false when a row is off its grid.
    int badRow = -1;
    auto fits = [&](uint64_t hz) {
        for (int r = 0; r < rows_; ++r) {
            const double at = (times_[size_t(r)] - times_[0]) * double(hz);
            const double n = std::round(at);
            // Within a quarter period of a period, and later than the row before.
            if (!(std::fabs(at - n) <= 0.25 && n >= 0 && n < 1e12) || (r > 0 && int64_t(n) <= index_[size_t(r) - 1])) {
                badRow = r;
                return false;
            }
            index_[size_t(r)] = int64_t(n);
        }
        return true;
    };
    if (notes_.sampleRateHz && Capture::rateIndexForHz(mode, *notes_.sampleRateHz) >= 0 && fits(*notes_.sampleRateHz)) {
        rateHz_ = *notes_.sampleRateHz;
        return true;
    }
    // As for a VCD: the slowest rate of the mode on whose periods every row
    // falls.
    for (int i = Capture::kRateCount - 1; i >= 0; --i) {
        if (fits(Capture::sampleRateHzFor(mode, i))) {
            rateHz_ = Capture::sampleRateHzFor(mode, i);
            return true;
        }
    }
    error_ = QStringLiteral("the time of data row %1 does not fall on a sample period of the instrument's fastest %2 rate (%3)")
                 .arg(badRow + 1)
                 .arg(analog ? QStringLiteral("Analog") : QStringLiteral("Logic"))
                 .arg(SampleRateText(Capture::sampleRateHzFor(mode, 0)));
    return false;
}

// Second pass: the values of the chosen columns, row by row.
bool CsvReader::collect()
{
    Lines lines(text_);
    std::vector<Field> fields;
    QByteArrayView line;
    bool headerSkipped = !header_;
    int r = 0;
    std::vector<uint8_t> levels;
    std::vector<double> volts;
    levels.reserve(size_t(rows_));
    volts.reserve(analog_ >= 0 ? size_t(rows_) : 0);
    while (r < rows_ && lines.next(line, [](QByteArrayView) {})) {
        if (!headerSkipped) {
            headerSkipped = true;
            continue;
        }
        SplitFields(line, fields);
        uint8_t l = 0;
        for (size_t k = 0; k < logic_.size(); ++k) {
            const Field &f = fields[size_t(logic_[k])];
            double v = 0;
            if (!IsBinary(f))
                ParseNumber(f, &v);
            if ((IsBinary(f) && f.p[0] == '1') || v == 1)
                l = uint8_t(l | (1u << k));
        }
        levels.push_back(l);
        if (analog_ >= 0) {
            double v = 0;
            ParseNumber(fields[size_t(analog_)], &v);
            volts.push_back(v);
        }
        if (timeColumn_ >= 0) {
            double t = 0;
            ParseNumber(fields[size_t(timeColumn_)], &t);
            times_.push_back(t * timeUnit_);
        }
        ++r;
    }
    levels_ = std::move(levels);
    volts_ = std::move(volts);
    return true;
}

ImportResult CsvReader::run()
{
    if (!classify())
        return refused(error_);
    collect();
    if (!rate())
        return refused(error_);

    const bool analog = analog_ >= 0;
    const int64_t limit = MaxImportSamples(analog);
    int64_t count = index_.back() + 1;
    bool cut = moreRows_;
    if (count > limit) {
        count = limit;
        cut = true;
    }
    SampledSignals s;
    s.rateHz = rateHz_;
    s.hasAnalog = analog;
    s.notes = notes_;
    // Rates outside the lists are refused by FitSamples before samples matter.
    if (Capture::rateIndexForHz(analog ? Capture::Mode::Analog : Capture::Mode::Logic, rateHz_) >= 0) {
        s.levels.assign(size_t(count), 0);
        if (analog)
            s.volts.assign(size_t(count), 0.0);
        for (int r = 0; r < rows_ && index_[size_t(r)] < count; ++r) {
            const int64_t to = r + 1 < rows_ ? std::min(index_[size_t(r) + 1], count) : count;
            for (int64_t n = index_[size_t(r)]; n < to; ++n) {
                s.levels[size_t(n)] = levels_[size_t(r)];
                if (analog)
                    s.volts[size_t(n)] = volts_[size_t(r)];
            }
        }
        if (cut)
            warnings_ << QStringLiteral("Only the first %1 sample periods are kept: the instrument records no more.")
                             .arg(limit);
    }
    return FitSamples(s, warnings_);
}

} // namespace

ImportResult ImportCsv(const QByteArray &text)
{
    CsvReader reader(text);
    return reader.run();
}
