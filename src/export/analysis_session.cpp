#include "export/analysis_session.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <type_traits>

#include "export/capture_file_io.h"
#include "export/sigrok_session_export.h"
#include "export/zip_archive.h"

namespace {

// Far beyond any notes a person types; an entry claiming more is not read.
constexpr qint64 kMaxEntryBytes = 4 * 1024 * 1024;
constexpr int kMaxListItems = 256;

QJsonArray ToArray(const QStringList &list)
{
    QJsonArray a;
    for (const QString &s : list)
        a.append(s);
    return a;
}

// A list of texts; what is not a text is named in `skipped`.
QStringList TextList(const QJsonObject &o, const QString &key, const QString &what, QStringList *skipped)
{
    QStringList out;
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return out;
    if (!v.isArray()) {
        *skipped << QStringLiteral("the %1 (not a list)").arg(what);
        return out;
    }
    int bad = 0;
    for (const QJsonValue &item : v.toArray()) {
        if (item.isString() && !item.toString().trimmed().isEmpty() && out.size() < kMaxListItems)
            out << item.toString();
        else
            ++bad;
    }
    if (bad > 0)
        *skipped << QStringLiteral("%1 of the %2 (not usable)").arg(bad).arg(what);
    return out;
}

// A whole number inside lo..hi; else the default stays and it is named.
template <typename T>
void Number(const QJsonObject &o, const QString &key, double lo, double hi, const QString &what, T *target,
            QStringList *skipped)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return;
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d < lo || d > hi || (std::is_integral_v<T> && d != std::floor(d))) {
        *skipped << QStringLiteral("the %1 (not a number in %2 .. %3)").arg(what).arg(lo).arg(hi);
        return;
    }
    *target = T(d);
}

} // namespace

QByteArray AnalysisSessionJson(const AnalysisSession &s)
{
    QJsonObject o;
    o[QStringLiteral("program")] = QStringLiteral("logic-analyzer");
    o[QStringLiteral("version")] = kAnalysisSessionVersion;
    o[QStringLiteral("decoders")] = ToArray(s.decoders);
    o[QStringLiteral("timeCursors")] = QJsonObject{{QStringLiteral("reference"), s.referenceCursor},
                                                   {QStringLiteral("measuring"), s.measuringCursor}};
    o[QStringLiteral("voltageCursors")] = QJsonObject{{QStringLiteral("reference"), double(s.referenceVoltageY)},
                                                      {QStringLiteral("measuring"), double(s.measuringVoltageY)}};
    o[QStringLiteral("view")] = QJsonObject{{QStringLiteral("magnificationStep"), s.magnificationStep},
                                            {QStringLiteral("start"), s.viewStart}};
    o[QStringLiteral("panels")] = ToArray(s.panels);
    o[QStringLiteral("notes")] = s.notes;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

AnalysisSession ParseAnalysisSession(const QByteArray &json, QStringList *skipped)
{
    AnalysisSession s;
    QStringList local;
    QStringList &out = skipped ? *skipped : local;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        out << QStringLiteral("the whole analysis (it is damaged: %1)")
                   .arg(doc.isNull() ? error.errorString() : QStringLiteral("not an object"));
        return s;
    }
    const QJsonObject o = doc.object();
    const int version = o.value(QStringLiteral("version")).toInt(kAnalysisSessionVersion);
    if (version > kAnalysisSessionVersion)
        out << QStringLiteral("what a newer version of the program (session version %1) saved beyond version %2")
                   .arg(version)
                   .arg(kAnalysisSessionVersion);
    s.decoders = TextList(o, QStringLiteral("decoders"), QStringLiteral("decoders"), &out);
    const QJsonObject time = o.value(QStringLiteral("timeCursors")).toObject();
    Number(time, QStringLiteral("reference"), 0, 32767, QStringLiteral("reference time cursor"), &s.referenceCursor, &out);
    Number(time, QStringLiteral("measuring"), 0, 32767, QStringLiteral("measuring time cursor"), &s.measuringCursor, &out);
    const QJsonObject volts = o.value(QStringLiteral("voltageCursors")).toObject();
    Number(volts, QStringLiteral("reference"), 300, 440, QStringLiteral("reference voltage cursor"),
           &s.referenceVoltageY, &out);
    Number(volts, QStringLiteral("measuring"), 300, 440, QStringLiteral("measuring voltage cursor"),
           &s.measuringVoltageY, &out);
    const QJsonObject view = o.value(QStringLiteral("view")).toObject();
    Number(view, QStringLiteral("magnificationStep"), 0, 6, QStringLiteral("magnification"), &s.magnificationStep, &out);
    Number(view, QStringLiteral("start"), 0, 32767, QStringLiteral("view start"), &s.viewStart, &out);
    s.panels = TextList(o, QStringLiteral("panels"), QStringLiteral("panels"), &out);
    const QJsonValue notes = o.value(QStringLiteral("notes"));
    if (notes.isString())
        s.notes = notes.toString();
    else if (!notes.isUndefined())
        out << QStringLiteral("the notes (not a text)");
    return s;
}

bool SigrokSessionWithAnalysis(const Capture &capture, const AnalysisSession &session, QByteArray *archive,
                               QString *error)
{
    return SigrokSessionBytes(capture, archive, error, {{kAnalysisEntryName, AnalysisSessionJson(session)}});
}

AnalysisEntry ReadAnalysisEntry(const QString &path, QByteArray *json, QString *why)
{
    if (QFileInfo(path).suffix().toLower() != QLatin1String("sr"))
        return AnalysisEntry::None;
    QFile file(path);
    if (QFileInfo(path).size() > kMaxImportFileBytes || !file.open(QIODevice::ReadOnly))
        return AnalysisEntry::None; // the import itself says what is wrong with the file
    const QByteArray bytes = file.readAll();
    const ZipArchiveReader zip(bytes);
    if (!zip.isOpen() || !zip.contains(kAnalysisEntryName))
        return AnalysisEntry::None;
    bool more = false;
    QString error;
    if (!zip.read(kAnalysisEntryName, kMaxEntryBytes, json, &more, &error)) {
        *why = error;
        return AnalysisEntry::Unreadable;
    }
    if (more) {
        *why = QStringLiteral("it is larger than %1 MiB").arg(kMaxEntryBytes / (1024 * 1024));
        return AnalysisEntry::Unreadable;
    }
    return AnalysisEntry::Found;
}
