#include "panels/byte_stream_text.h"

#include "decode/decode_result.h"

std::vector<ByteStream> ByteStreamsOf(const DecodeResult &result)
{
    std::vector<ByteStream> streams;
    for (const DecodeInstanceResult &instance : result.instances) {
        if (!instance.decoder)
            continue;
        for (const DecoderAnnotationClass &c : instance.decoder->annotationClasses) {
            // Data classes are named so by every byte-carrying decoder
            // ("rx-data", "mosi-data", "data-write").
            if (!c.id.contains(QLatin1String("data")))
                continue;
            QByteArray bytes = instance.byteStream(c.id);
            if (bytes.isEmpty())
                continue;
            streams.push_back({instance.name + QStringLiteral(": ") + c.description, instance.name, c.id,
                               std::move(bytes)});
        }
    }
    return streams;
}

QString BytesAsText(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = uint8_t(bytes[i]);
        if (b == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                continue; // CR LF is one line break
            out += QLatin1Char('\n');
        } else if (b == '\n' || b == '\t') {
            out += QLatin1Char(char(b));
        } else if (b == '\\') {
            out += QLatin1String("\\\\");
        } else if (b >= 0x20 && b < 0x7f) {
            out += QLatin1Char(char(b));
        } else {
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString BytesAsHexDump(const QByteArray &bytes)
{
    QString out;
    for (qsizetype line = 0; line < bytes.size(); line += 16) {
        QString hex, ascii;
        for (qsizetype i = line; i < line + 16; ++i) {
            if (i == line + 8)
                hex += QLatin1Char(' ');
            if (i < bytes.size()) {
                const auto b = uint8_t(bytes[i]);
                hex += QStringLiteral(" %1").arg(b, 2, 16, QLatin1Char('0'));
                ascii += b >= 0x20 && b < 0x7f ? QLatin1Char(char(b)) : QLatin1Char('.');
            } else {
                hex += QLatin1String("   ");
            }
        }
        out += QStringLiteral("%1 %2  |%3|\n").arg(line, 4, 16, QLatin1Char('0')).arg(hex, ascii);
    }
    return out;
}
