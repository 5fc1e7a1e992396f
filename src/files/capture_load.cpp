#include "files/capture_load.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "files/capture_file.h"

ParseResult ParseCaptureFile(QIODevice &in, const CaptureLoadContext &context, ParsedCapture &out)
{
    out = ParsedCapture();
    CaptureFileReader reader(in);

    // Settings line: a failed read keeps the holder's previous value.
    uint8_t holder = 0;
    for (size_t k = 0; k < out.settings.size(); ++k) {
        out.settings[k] = reader.ReadByteField();
        if (out.settings[k])
            holder = *out.settings[k];
        out.holder[k] = holder;
    }
    out.analog = out.holder[3] == 1;

    out.lastSampleIndex = reader.ReadLongField();
    if (out.lastSampleIndex) {
        const int32_t count = *out.lastSampleIndex;
        if (count < -1 || count > context.maxLastSampleIndex)
            return ParseResult::BadRecordCount;
        out.recordsLastIndex = count;
    } else {
        // Line 2 missing: the index stays as the mode step leaves it.
        const bool modeSwitches = out.analog != context.analogBefore;
        out.recordsLastIndex = modeSwitches ? -1 : context.lastSampleIndexBefore;
    }

    const int fields = out.analog ? 3 : 2;
    out.records.create(fields, out.recordsLastIndex);
    for (int32_t n = 0; n <= out.recordsLastIndex; ++n) {
        // Past the end of the file every read fails and the records stay 0:
        // no need to go on asking.
        if (reader.atEnd())
            break;
        for (int f = 0; f < fields; ++f) {
            if (const auto v = reader.ReadLongField())
                out.records.set(f, n, *v);
        }
    }
    return ParseResult::Ok;
}

bool ReadCaptureFile(const QString &path, const CaptureLoadContext &context, ParsedCapture &out,
                     QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo(path).isDir()) {
        if (error)
            *error = QStringLiteral("%1 cannot be opened: it is a folder.").arg(shown);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be opened: %2.").arg(shown, file.errorString());
        return false;
    }
    const ParseResult result = ParseCaptureFile(file, context, out);
    file.close();
    if (result == ParseResult::BadRecordCount) {
        if (error)
            *error = QStringLiteral("%1 is not loaded: its record index %2 is outside -1 to %3.")
                         .arg(shown)
                         .arg(*out.lastSampleIndex)
                         .arg(context.maxLastSampleIndex);
        out.records.reset();
        return false;
    }
    return true;
}
