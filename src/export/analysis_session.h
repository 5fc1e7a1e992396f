#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "capture/capture.h"

// What this program adds to a sigrok session file so that opening it again
// brings back the analysis around the capture, not just the samples. It
// travels as one more entry of the .sr zip; sigrok's readers pass over
// entries they do not know.
struct AnalysisSession {
    QStringList decoders;          // stacks in sigrok-cli's -P syntax
    int32_t referenceCursor = 50;  // time cursors, sample periods
    int32_t measuringCursor = 100;
    float referenceVoltageY = 405; // voltage cursors, drawing-area pixels
    float measuringVoltageY = 335;
    int magnificationStep = 3;     // position of the magnification bar, 0 (×10) .. 6 (1/10)
    int32_t viewStart = 0;         // first sample period in view
    QStringList panels;            // object names of the panels shown
    QString notes;                 // the user's own text
};

inline constexpr const char kAnalysisEntryName[] = "logic-analyzer/session.json";
inline constexpr int kAnalysisSessionVersion = 1;

QByteArray AnalysisSessionJson(const AnalysisSession &session);

// Reads what makes sense of an entry and keeps the defaults for the rest;
// `skipped` gets one line for each thing that was left out (a damaged entry,
// a field of the wrong kind or out of range, a newer version's extras).
AnalysisSession ParseAnalysisSession(const QByteArray &json, QStringList *skipped);

// A sigrok session file of `capture` carrying `session` as well. False with a
// reason in `error` when the archive cannot be built.
bool SigrokSessionWithAnalysis(const Capture &capture, const AnalysisSession &session, QByteArray *archive,
                               QString *error);

enum class AnalysisEntry {
    None,       // not a zip with the entry: a plain capture file
    Found,      // `json` holds the entry
    Unreadable, // the entry is there but cannot be read; `why` says so
};

// Looks for the analysis entry in a capture file.
AnalysisEntry ReadAnalysisEntry(const QString &path, QByteArray *json, QString *why);
