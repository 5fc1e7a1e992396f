#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "decode/decode_limits.h"
#include "decode/decoder_catalog.h"

// The outcome of one decoding run, immutable once delivered and shared
// between threads (std::shared_ptr<const DecodeResult>).

struct DecodeAnnotation {
    int64_t start = 0;        // first sample
    int64_t end = 0;          // sample where it ends (end >= start)
    int annotationClass = 0;  // index into DecoderInfo::annotationClasses
    int row = 0;              // index into DecoderInfo::rows
    uint32_t order = 0;       // position in the order the decoders emitted them, over the whole run
    QStringList texts;        // longest first; a viewer shows the longest that fits
};

// The annotations of one row, sorted by start (ties in emission order).
class DecodeRow {
public:
    QString id;          // DecoderInfo::rows[...].id
    QString description;

    const std::vector<DecodeAnnotation> &annotations() const { return annotations_; }
    // The annotations that overlap samples [first, last): start < last and
    // end > first, where an annotation of no length counts as one sample
    // wide. Found by binary search, so the cost follows what is returned, not
    // the row's size. Pointers into this row, in start order.
    std::vector<const DecodeAnnotation *> overlapping(int64_t first, int64_t last) const;

private:
    friend class DecodeRunner;
    std::vector<DecodeAnnotation> annotations_;
    std::vector<int64_t> endSoFar_; // endSoFar_[i] = largest covered end of annotations 0..i
    void finish();
};

// One decoder instance of a stack.
struct DecodeInstanceResult {
    QString name;        // "uart-1", as sigrok-cli names it
    QString decoderId;   // "uart"
    int stack = 0;       // index into DecodeRequest::stacks
    int level = 0;       // 0 = the decoder that reads the channels
    const DecoderInfo *decoder = nullptr; // in DecodeResult::catalog
    std::map<QString, QVariant> options;  // as given (defaults not included)
    std::vector<DecodeRow> rows;          // as decoder->rows
    // What went wrong with this instance: the first line the library
    // reported (a rejected option, the decoder's Python exception), empty when
    // nothing did. The instance's annotations up to the failure are kept.
    QString error;
    QString errorDetails; // every message, with the Python traceback
    // The last lines of the Python traceback of `error`, innermost frame last
    // ("/path/pd.py:30 in decode: raise ValueError(...)"), then the
    // exception's own line; empty when there was none.
    QStringList errorTrace;
    // Set on the instance that was busy when a limit stopped the run, or
    // that made the annotation over the limit: "stopped after 30 s".
    QString stopped;

    size_t annotationCount() const;
    const DecodeRow *row(const QString &rowId) const; // nullptr when unknown
    // Every annotation in the order the decoder emitted it.
    std::vector<const DecodeAnnotation *> inEmissionOrder() const;
    // The bytes of the annotations of one class in start order, read from
    // their shortest text: for a byte-stream view, e.g. UART "rx-data" /
    // "tx-data", SPI "mosi-data", I2C "data-write". The UART's "format" option
    // says how the text is written (hex by default; ascii, dec, oct, bin);
    // texts that are no byte are passed over.
    QByteArray byteStream(const QString &classId) const;
};

struct DecodeResult {
    uint64_t generation = 0;   // DecodeEngine::start's number; 0 from DecodeNow
    uint64_t sampleRateHz = 0;
    int64_t sampleCount = 0;
    // Why the run ended before the end of the samples (None: it did not).
    // A run stopped by the user or a limit is delivered with what was
    // decoded until then; a cancelled one never is.
    DecodeStopReason stopReason = DecodeStopReason::None;
    QString stopText;          // "stopped after 30 s"; empty when not stopped
    int64_t decodedSamples = 0; // how far every decoder got before a stop; sampleCount when not stopped
    bool cancelled() const { return stopReason == DecodeStopReason::Cancelled; }
    bool stopped() const { return stopReason != DecodeStopReason::None; }
    // What kept the whole request from running: the library missing, the
    // stacks not valid, no samples. Empty when decoding ran.
    QString error;
    std::vector<DecodeInstanceResult> instances; // stack by stack, bottom first
    std::shared_ptr<const DecoderCatalog> catalog; // keeps DecodeInstanceResult::decoder valid

    const DecodeInstanceResult *instance(const QString &name) const; // nullptr when unknown
    // Every error, one line each: the request's, then "uart-1: ..." per instance.
    QStringList errors() const;
    // Why the run stopped, one line naming the instance that was busy:
    // "hang-1: stopped after 30 s"; "stopped after 30 s" when none was named;
    // empty when the run was not stopped.
    QString stopLine() const;
    bool hasErrors() const { return !errors().isEmpty(); }
};
