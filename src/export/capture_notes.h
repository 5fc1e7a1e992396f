#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "capture/capture.h"

// The lines this program writes beside the samples of an export (in a VCD
// $comment, as CSV comment lines, in a section of a sigrok session's
// metadata), and reading them back. They are written for people first; the
// importers take the settings the samples alone do not carry (the rate the
// capture was taken at, the input range, the trigger) from them, so a file
// of this program comes back as the capture it was made from. Files of other
// tools simply lack them.

// "Logic Analyzer 1.0": the program and its version.
QString ProgramNameAndVersion();

// "20 MHz", "500 kHz", "100 Hz": the way sigrok writes a sample rate.
QString SampleRateText(uint64_t hz);
// "50 ns", "10 ms": a period in the largest unit that keeps it whole.
QString PeriodText(int64_t ps);
// Reads "20 MHz", "20MHz", "20000000", "1.5 kHz", "20 MHz (50 ns)" ... into
// Hz; nullopt unless it is a whole number of Hz.
std::optional<uint64_t> ParseSampleRate(QStringView text);

// "CH1 rising edge", "pattern CH4..CH1 = 1010 equal", "free run", ...
QString TriggerDescription(const Capture &capture);

// The note lines as "key: value", without comment markers.
QStringList CaptureNoteLines(const Capture &capture);

// What the note lines of a file say, as far as they could be read.
struct CaptureNotes {
    std::optional<uint64_t> sampleRateHz;
    std::optional<int> rangeIndex;
    std::optional<CaptureTrigger> trigger;
};

// Takes one "key: value" or "key=value" line (comment markers and blanks
// around it already removed) into `notes` when it is one of the notes; other
// lines are left alone. Also understands sigrok's own "Samplerate: 20 kHz".
void ReadCaptureNote(QStringView line, CaptureNotes &notes);
