#include "support/import_input.h"

#include <QByteArray>
#include <sstream>

#include "export/capture_formats.h"
#include "export/import_fit.h"

namespace hostile {

Capture ImportNormalForm(const Capture &c)
{
    const std::vector<uint8_t> levels = c.expandLogic();
    const std::vector<uint8_t> counts = c.expandAnalog();
    std::vector<CaptureRecord> records;
    for (size_t n = 0; n < levels.size(); ++n) {
        if (c.isAnalog() || n == 0 || levels[n] != levels[n - 1])
            records.push_back({int32_t(n), levels[n], c.isAnalog() ? counts[n] : uint8_t(0)});
    }
    return Capture(c.mode(), c.rateIndex(), c.sampleCount(), std::move(records), c.trigger(), c.rangeIndex());
}

std::string CaptureDifference(const Capture &a, const Capture &b)
{
    std::ostringstream why;
    if (a.mode() != b.mode())
        why << "mode " << int(a.mode()) << " became " << int(b.mode()) << "; ";
    if (a.rateIndex() != b.rateIndex())
        why << "rate index " << a.rateIndex() << " became " << b.rateIndex() << "; ";
    if (a.sampleCount() != b.sampleCount())
        why << "sample count " << a.sampleCount() << " became " << b.sampleCount() << "; ";
    if (a.rangeIndex() != b.rangeIndex())
        why << "range " << a.rangeIndex() << " became " << b.rangeIndex() << "; ";
    const CaptureTrigger &ta = a.trigger(), &tb = b.trigger();
    if (ta.kind != tb.kind || ta.condition != tb.condition || ta.channel != tb.channel || ta.pattern != tb.pattern
        || ta.levelCount != tb.levelCount)
        why << "trigger changed; ";
    const auto &ra = a.records(), &rb = b.records();
    if (ra.size() != rb.size())
        why << ra.size() << " records became " << rb.size() << "; ";
    for (size_t i = 0; i < std::min(ra.size(), rb.size()); ++i) {
        if (ra[i].time != rb[i].time || ra[i].levels != rb[i].levels || ra[i].analog != rb[i].analog) {
            why << "record " << i << " (" << ra[i].time << ", " << int(ra[i].levels) << ", " << int(ra[i].analog)
                << ") became (" << rb[i].time << ", " << int(rb[i].levels) << ", " << int(rb[i].analog) << ")";
            break;
        }
    }
    return why.str();
}

std::string ImportedCaptureViolation(const Capture &c)
{
    std::ostringstream why;
    if (c.isEmpty())
        return "an accepted capture has no records";
    if (c.sampleCount() > MaxImportSamples(c.isAnalog()))
        why << "sample count " << c.sampleCount() << " above the mode's limit; ";
    if (c.measurementLength() != c.sampleCount())
        why << "measurement length " << c.measurementLength() << " is not the sample count; ";
    if (c.rangeIndex() < 0 || c.rangeIndex() > 4)
        why << "range index " << c.rangeIndex() << " outside the list; ";
    const std::string normal = CaptureDifference(ImportNormalForm(c), c);
    if (!normal.empty())
        why << "records not in normal form: " << normal;
    return why.str();
}

std::string RunImportInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return {};
    static const CaptureFormat formats[] = {CaptureFormat::Log, CaptureFormat::Vcd, CaptureFormat::Csv,
                                            CaptureFormat::SigrokSession};
    const CaptureFormat format = formats[data[0] % 4];
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const ImportResult first = ImportCaptureBytes(format, bytes);
    if (!first.ok)
        return first.error.isEmpty() ? "a refusal without a message" : std::string();
    const std::string broken = ImportedCaptureViolation(first.capture);
    if (!broken.empty())
        return broken;
    QByteArray again;
    QString error;
    if (!ExportCaptureBytes(format, first.capture, &again, &error))
        return "the imported capture cannot be exported: " + error.toStdString();
    const ImportResult second = ImportCaptureBytes(format, again);
    if (!second.ok)
        return "the exported capture is refused: " + second.error.toStdString();
    const std::string changed = CaptureDifference(first.capture, second.capture);
    return changed.empty() ? std::string() : "export and import changed the capture: " + changed;
}

} // namespace hostile
