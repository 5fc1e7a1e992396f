#include "decode/decode_command.h"

#include "decode/annotation_list.h"
#include "decode/decode_engine.h"


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

    if (csv)
        out << AnnotationCsvHeader() << '\n';
    for (const AnnotationLine &line : AnnotationsInEmissionOrder(*result)) {
        if (csv)
            out << AnnotationCsvRow(line) << '\n';
        else
            out << line.instance->name << ": " << line.text() << '\n';
    }
    out.flush();

    const QStringList errors = result->errors();
    for (const QString &e : errors)
        err << "decode: " << e << '\n';
    err.flush();
    return errors.isEmpty() ? 0 : 1;
}
