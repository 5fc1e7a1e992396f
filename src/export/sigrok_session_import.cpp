#include "export/sigrok_session_import.h"

#include <QMap>
#include <QtEndian>
#include <cstring>

#include "export/import_fit.h"
#include "export/sigrok_session_export.h"
#include "export/zip_archive.h"

namespace {

constexpr qint64 kMaxMetadata = 64 * 1024;
constexpr int kMaxUnitSize = 64;   // bytes per logic sample: 512 channels
constexpr int kMaxChunks = 100000; // logic-1-1 ... logic-1-N

using Section = QMap<QString, QString>;

// The metadata's INI sections in order of appearance.
std::vector<std::pair<QString, Section>> ParseIni(const QByteArray &text)
{
    std::vector<std::pair<QString, Section>> sections;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            sections.emplace_back(line.mid(1, line.size() - 2).trimmed(), Section());
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !sections.empty())
            sections.back().second.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return sections;
}

class SessionReader {
public:
    explicit SessionReader(const QByteArray &archive) : zip_(archive) {}
    ImportResult run();

private:
    // Reads name-1, name-2, ... up to maxBytes in all.
    bool readChunks(const QString &name, qint64 maxBytes, QByteArray *data, bool *more);
    ImportResult refused(const QString &why) const { return ImportResult::refused(why); }

    ZipArchiveReader zip_;
    QString error_;
    QStringList warnings_;
};

bool SessionReader::readChunks(const QString &name, qint64 maxBytes, QByteArray *data, bool *more)
{
    data->clear();
    *more = false;
    for (int chunk = 1; chunk <= kMaxChunks; ++chunk) {
        const QByteArray entry = (name + QLatin1Char('-') + QString::number(chunk)).toUtf8();
        if (!zip_.contains(entry)) {
            if (chunk == 1) {
                error_ = QStringLiteral("it has no entry \"%1\"").arg(QString::fromUtf8(entry));
                return false;
            }
            return true;
        }
        QByteArray piece;
        bool pieceMore = false;
        if (!zip_.read(entry, maxBytes - data->size(), &piece, &pieceMore, &error_))
            return false;
        data->append(piece);
        if (pieceMore || (data->size() == maxBytes && zip_.contains((name + QLatin1Char('-') + QString::number(chunk + 1)).toUtf8()))) {
            *more = true;
            return true;
        }
    }
    return true;
}

ImportResult SessionReader::run()
{
    if (!zip_.isOpen())
        return refused(QStringLiteral("it is not a zip archive (%1)").arg(zip_.errorString()));
    QByteArray version, metadata;
    bool more = false;
    if (!zip_.read("version", 16, &version, &more, &error_))
        return refused(error_ + QStringLiteral(": it is not a sigrok session"));
    if (more || version.trimmed() != "2")
        return refused(QStringLiteral("its format version \"%1\" is not 2, the one this program reads")
                           .arg(QString::fromUtf8(version.trimmed().left(16))));
    if (!zip_.read("metadata", kMaxMetadata, &metadata, &more, &error_))
        return refused(error_);
    if (more)
        return refused(QStringLiteral("its metadata is larger than %1 KiB").arg(kMaxMetadata / 1024));

    CaptureNotes notes;
    const Section *device = nullptr;
    int devices = 0;
    const auto sections = ParseIni(metadata);
    for (const auto &[name, keys] : sections) {
        if (name.startsWith(QLatin1String("device "))) {
            ++devices;
            if (name == QLatin1String("device 1"))
                device = &keys;
        } else if (name == QLatin1String(kSigrokNotesSection)) {
            for (auto it = keys.cbegin(); it != keys.cend(); ++it)
                ReadCaptureNote(QString(it.key() + QLatin1Char('=') + it.value()), notes);
        }
    }
    if (!device)
        return refused(QStringLiteral("its metadata has no [device 1]"));
    if (devices > 1)
        warnings_ << QStringLiteral("The session holds %1 devices; only device 1 is read.").arg(devices);

    auto number = [&](const char *key, int max, int *out) {
        bool ok = true;
        const QString text = device->value(QLatin1String(key), QStringLiteral("0"));
        *out = text.toInt(&ok);
        if (!ok || *out < 0 || *out > max) {
            error_ = QStringLiteral("its \"%1=%2\" is not a number from 0 to %3").arg(QLatin1String(key), text.left(40)).arg(max);
            return false;
        }
        return true;
    };
    int probes = 0, analogCount = 0, unitSize = 0;
    if (!number("total probes", 8 * kMaxUnitSize, &probes) || !number("total analog", 4096, &analogCount)
        || !number("unitsize", kMaxUnitSize, &unitSize))
        return refused(error_);
    if (probes > 0 && unitSize * 8 < probes)
        return refused(QStringLiteral("its unit size of %1 bytes cannot hold %2 logic probes").arg(unitSize).arg(probes));
    if (probes == 0 && analogCount == 0)
        return refused(QStringLiteral("it has neither logic probes nor analog channels"));
    const QString rateText = device->value(QStringLiteral("samplerate"));
    const auto rate = ParseSampleRate(rateText);
    if (!rate)
        return refused(rateText.isEmpty() ? QStringLiteral("its metadata has no sample rate")
                                          : QStringLiteral("its sample rate \"%1\" cannot be read").arg(rateText.left(40)));

    const bool analog = analogCount > 0;
    const int64_t limit = MaxImportSamples(analog);
    SampledSignals s;
    s.rateHz = *rate;
    s.hasAnalog = analog;
    s.notes = notes;
    if (Capture::rateIndexForHz(analog ? Capture::Mode::Analog : Capture::Mode::Logic, *rate) < 0)
        return FitSamples(s, warnings_); // refuses the rate, naming the ones that fit

    int64_t count = -1;
    bool cut = false;
    if (probes > 0) {
        QByteArray logic;
        bool logicMore = false;
        const QString file = device->value(QStringLiteral("capturefile"), QStringLiteral("logic-1"));
        if (!readChunks(file, (limit + 1) * unitSize, &logic, &logicMore))
            return refused(error_);
        count = logic.size() / unitSize;
        cut = logicMore;
        s.levels.resize(size_t(count));
        const uint8_t mask = uint8_t(probes >= 8 ? 0xFF : (1u << probes) - 1);
        for (int64_t n = 0; n < count; ++n)
            s.levels[size_t(n)] = uint8_t(logic[qsizetype(n * unitSize)]) & mask;
        if (probes > Capture::kChannels)
            warnings_ << QStringLiteral("The session has %1 logic probes; the first %2 are kept.").arg(probes).arg(Capture::kChannels);
    }
    if (analog) {
        // The first analog channel: the lowest "analogN" the metadata names,
        // or the one after the logic probes.
        int channel = probes + 1;
        int named = 0;
        for (auto it = device->cbegin(); it != device->cend(); ++it) {
            bool ok = false;
            const int k = it.key().startsWith(QLatin1String("analog")) ? it.key().mid(6).toInt(&ok) : 0;
            if (ok && k > 0 && (named == 0 || k < channel)) {
                channel = k;
                ++named;
            }
        }
        QByteArray floats;
        bool analogMore = false;
        if (!readChunks(QStringLiteral("analog-1-%1").arg(channel), (limit + 1) * 4, &floats, &analogMore))
            return refused(error_);
        const int64_t values = floats.size() / 4;
        s.volts.resize(size_t(values));
        for (int64_t n = 0; n < values; ++n) {
            const uint32_t bits = qFromLittleEndian<uint32_t>(floats.constData() + 4 * n);
            float v;
            std::memcpy(&v, &bits, 4);
            s.volts[size_t(n)] = v;
        }
        if (analogCount > 1)
            warnings_ << QStringLiteral("The session has %1 analog channels; only the first is kept.").arg(analogCount);
        if (count < 0) {
            count = values;
            cut = analogMore;
            s.levels.assign(size_t(count), 0);
        } else if (values != count) {
            warnings_ << QStringLiteral("Its logic data holds %1 samples and its analog data %2; the first %3 are kept.")
                             .arg(count)
                             .arg(values)
                             .arg(std::min(count, values));
            count = std::min(count, values);
        } else {
            cut = cut || analogMore;
        }
    }
    if (count > limit) {
        count = limit;
        cut = true;
    }
    s.levels.resize(size_t(count));
    if (analog)
        s.volts.resize(size_t(count));
    if (cut)
        warnings_ << QStringLiteral("Only the first %1 sample periods are kept: the instrument records no more.").arg(limit);
    return FitSamples(s, warnings_);
}

} // namespace

ImportResult ImportSigrokSession(const QByteArray &archive)
{
    SessionReader reader(archive);
    return reader.run();
}
