#pragma once

#include <QString>
#include <QStringList>

// What a Python traceback, as the decoder library logs it, says about where
// a decoder went wrong: the innermost frame and the exception's own line.
struct PythonError {
    QString file;    // the innermost frame's file, as Python names it; empty when none
    int line = 0;    // its line, 0 when unknown
    QString message; // the last line: "ValueError: bad frame"
    // The last frames, innermost last, one line each ("/path/pd.py:30 in
    // decode: raise ValueError('bad frame')"), then the message.
    QStringList lastLines;

    bool isEmpty() const { return message.isEmpty() && file.isEmpty(); }
    // "/path/pd.py:30: ValueError: bad frame", or the message alone.
    QString summary() const;
};

// Reads a traceback ("Traceback (most recent call last):" and its frames) out
// of `text`; a SyntaxError's frame without a function is understood too.
// `frames` is how many of the last frames go into lastLines.
PythonError ParsePythonTraceback(const QString &text, int frames = 3);
