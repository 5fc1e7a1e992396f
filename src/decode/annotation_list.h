#pragma once

#include <QString>
#include <vector>

#include "decode/decode_result.h"

// Every annotation of a result as one flat list, for tables, copies and CSV
// files. The pointers stay valid as long as the result does.

struct AnnotationLine {
    const DecodeInstanceResult *instance = nullptr;
    const DecodeAnnotation *annotation = nullptr;

    QString text() const;    // the longest text, empty when the decoder gave none
    QString rowId() const;   // "rx-data" (the row of data, start and stop bits)
    QString rowName() const; // "RX"
    QString classId() const; // "rx-data"
};

// In the order the decoders emitted them, as sigrok-cli prints them.
std::vector<AnnotationLine> AnnotationsInEmissionOrder(const DecodeResult &result);
// By start sample, ties in emission order: the order of a timeline.
std::vector<AnnotationLine> AnnotationsByStart(const DecodeResult &result);

// One CSV field, quoted when it holds a comma, a quote or a line break.
QString CsvField(const QString &text);
// "start,end,decoder,row,text": samples, instance name, row id, longest text.
QString AnnotationCsvHeader();
QString AnnotationCsvRow(const AnnotationLine &line);
