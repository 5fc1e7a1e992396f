#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include "capture/capture.h"
#include "decode/decode_limits.h"

// The command line's decoding: decodes `capture` with the stacks given in
// sigrok-cli's -P syntax (one argument per stack, see ParseDecoderStack) and
// prints every annotation of every decoder in the order the decoders emit
// them, one per line, with its longest text:
//   format ""     "uart-1: 48", as `sigrok-cli -P ...` prints them;
//   format "csv"  a header, then start sample, end sample, instance, row id, text.
// Only the decoders named are loaded, not the whole catalogue.
// Messages go to `err`, one line each, prefixed with the program's name.
// Returns 0 when everything decoded; 2 for a bad request (unknown decoder,
// one that fails to load, unknown channel or option, bad value, unknown
// format); 1 when the library is missing, there is nothing to decode or a
// decoder failed (its error on `err`, the annotations up to the failure still
// printed); 4 when a limit stopped the run (the annotations up to then
// printed, then one line naming the decoder that was busy and the limit).
int RunDecodeCommand(const QStringList &decodeArgs, const QString &format, const Capture &capture, QTextStream &out,
                     QTextStream &err, const DecodeLimits &limits = {});

// The limits of --decode-timeout and --decode-max-annotations: a value below
// 0 (not given) keeps the default, 0 means no limit.
DecodeLimits DecodeLimitsFromOptions(double timeoutSeconds, qint64 maxAnnotations);

// The exit status of a run a limit stopped.
constexpr int kDecodeStoppedStatus = 4;
