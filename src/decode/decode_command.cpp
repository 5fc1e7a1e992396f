#include "decode/decode_command.h"

#include "decode/decode_engine.h"

#include <algorithm>

namespace {

QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

struct Line {
    const DecodeInstanceResult *instance;
    const DecodeAnnotation *annotation;
};

} // namespace

int RunDecodeCommand(const QStringList &decodeArgs, const QString &format, const Capture &capture, QTextStream &out,
                     QTextStream &err)
{
    const bool csv = format.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (!format.isEmpty() && !csv) {
        err << "decode: unknown output format \"" << format << "\" (known: csv)\n";
        err.flush();
        return 2;
    }
    const auto catalog = LoadDecoderCatalog();
    if (!catalog->error().isEmpty()) {
        err << "decode: " << catalog->error() << '\n';
        err.flush();
        return 1;
    }
    DecodeRequest request;
    QString error;
    if (!ParseDecodeRequest(decodeArgs, *catalog, &request, &error)) {
        err << "decode: " << error << '\n';
        err.flush();
        return 2;
    }

    const auto result = DecodeNow(capture, request);
    if (!result->error.isEmpty()) {
        err << "decode: " << result->error << '\n';
        err.flush();
        return 1;
    }

    std::vector<Line> lines;
    for (const DecodeInstanceResult &instance : result->instances) {
        for (const DecodeAnnotation *a : instance.inEmissionOrder())
            lines.push_back({&instance, a});
    }
    std::sort(lines.begin(), lines.end(),
              [](const Line &a, const Line &b) { return a.annotation->order < b.annotation->order; });

    if (csv)
        out << "start,end,decoder,row,text\n";
    for (const Line &line : lines) {
        const QString text = line.annotation->texts.isEmpty() ? QString() : line.annotation->texts.first();
        if (csv) {
            out << line.annotation->start << ',' << line.annotation->end << ',' << CsvField(line.instance->name) << ','
                << CsvField(line.instance->rows[size_t(line.annotation->row)].id) << ',' << CsvField(text) << '\n';
        } else {
            out << line.instance->name << ": " << text << '\n';
        }
    }
    out.flush();

    const QStringList errors = result->errors();
    for (const QString &e : errors)
        err << "decode: " << e << '\n';
    err.flush();
    return errors.isEmpty() ? 0 : 1;
}
