#include "export/sigrok_session_export.h"

#include <QtEndian>
#include <cstring>

#include "export/capture_notes.h"
#include "export/text_buffer.h"
#include "export/zip_archive.h"

namespace {

QByteArray Metadata(const Capture &capture)
{
    TextBuffer m;
    // The libsigrok release whose session layout (version 2) this follows.
    m << "[global]\nsigrok version=0.5.2\n\n";
    m << "[device 1]\ncapturefile=logic-1\n";
    m << "total probes=" << Capture::kChannels << '\n';
    m << "samplerate=" << SampleRateText(capture.sampleRateHz()) << '\n';
    m << "total analog=" << (capture.isAnalog() ? 1 : 0) << '\n';
    for (int c = 1; c <= Capture::kChannels; ++c)
        m << "probe" << c << "=CH" << c << '\n';
    if (capture.isAnalog())
        m << "analog" << (Capture::kChannels + 1) << "=Analog\n";
    m << "unitsize=1\n\n";
    m << '[' << kSigrokNotesSection << "]\n";
    m << "program=" << ProgramNameAndVersion() << '\n';
    for (const QString &line : CaptureNoteLines(capture)) {
        QString entry = line;
        entry.replace(entry.indexOf(QLatin1String(": ")), 2, QStringLiteral("="));
        m << entry << '\n';
    }
    return m.take();
}

QByteArray AnalogFloats(const Capture &capture)
{
    const std::vector<uint8_t> counts = capture.expandAnalog();
    QByteArray out(qsizetype(counts.size() * 4), Qt::Uninitialized);
    char *p = out.data();
    for (uint8_t c : counts) {
        const float v = float(c * capture.voltsPerCount());
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        qToLittleEndian(bits, p);
        p += 4;
    }
    return out;
}

} // namespace

bool SigrokSessionBytes(const Capture &capture, QByteArray *archive, QString *error, const std::vector<ZipEntry> &extra)
{
    const std::vector<uint8_t> levels = capture.expandLogic();
    std::vector<ZipEntry> entries;
    entries.push_back({"version", "2"});
    entries.push_back({"metadata", Metadata(capture)});
    entries.push_back({"logic-1-1", QByteArray(reinterpret_cast<const char *>(levels.data()), qsizetype(levels.size()))});
    if (capture.isAnalog())
        entries.push_back({"analog-1-9-1", AnalogFloats(capture)});
    entries.insert(entries.end(), extra.begin(), extra.end());
    QString why;
    if (!BuildZipArchive(entries, archive, &why)) {
        if (error)
            *error = QStringLiteral("the session archive could not be built: %1").arg(why);
        return false;
    }
    return true;
}
