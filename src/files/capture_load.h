#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "app/sample_store.h"

class QIODevice;

// Reading a capture file for Load, without touching the window.
//
// The whole file is read and checked before Load changes anything, so a file
// that has to be refused leaves settings and capture exactly as they were.
// Load then applies the parsed values step by step, with the same meaning as
// if it read each field at the moment it applies it:
//   - a settings field whose read failed leaves the field holder as it was,
//     so the step uses the previous field's value (0 for the first field);
//   - the record layout (two or three values) follows the mode that field 4
//     selects: analog exactly when the holder is 1 after field 4;
//   - when line 2 is missing, LastSampleIndex keeps the value it has after
//     the mode step: -1 when that step switches the mode, else the value it
//     had before Load.

// What the parser needs to know about the window before Load starts.
struct CaptureLoadContext {
    bool analogBefore = false;          // Analog mode selected before Load
    int32_t lastSampleIndexBefore = -1; // LastSampleIndex before Load
    int32_t maxLastSampleIndex = 0;     // largest LastSampleIndex line 2 may hold
};

struct ParsedCapture {
    // Fields 1..6 of the settings line as read; nullopt when the read failed.
    std::array<std::optional<uint8_t>, 6> settings;
    // The field holder after each settings field is read: the value each
    // settings step applies.
    std::array<uint8_t, 6> holder{};
    // Line 2; nullopt when it is missing or not a 32-bit integer.
    std::optional<int32_t> lastSampleIndex;
    // The mode after field 4 is applied, and so the record layout.
    bool analog = false;
    // The LastSampleIndex in effect when the records are read: line 2, or the
    // value kept when line 2 is missing.
    int32_t recordsLastIndex = -1;
    // Records 0..recordsLastIndex, fields 0..1 (0..2 when analog); values
    // whose read failed, and records past the end of the file, are 0. Empty
    // when recordsLastIndex is -1.
    SampleStore records;
};

enum class ParseResult {
    Ok,
    BadRecordCount, // line 2 below -1 or above the limit: the file is refused
};

// Reads settings, line 2 and the records from `in`, which must be open for
// reading. Stops reading after the last record that Load asks for; text after
// it is never read. Reading stops early at the end of the file (missing
// records stay 0), so a count far above the records present costs only the
// zeroed store. On BadRecordCount `out.lastSampleIndex` holds the refused
// count and nothing is allocated.
ParseResult ParseCaptureFile(QIODevice &in, const CaptureLoadContext &context, ParsedCapture &out);

// Opens `path` for reading and parses it. False with a message in `error`
// (naming the file and the reason) when the file cannot be opened or is
// refused.
bool ReadCaptureFile(const QString &path, const CaptureLoadContext &context, ParsedCapture &out,
                     QString *error);
