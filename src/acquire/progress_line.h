#pragma once

#include <QString>

// One line on stderr, rewritten in place ("waiting for the trigger",
// "reading 43 %"), shown only when stderr is a terminal: a script that reads
// stderr sees messages, never progress.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}
    ~ProgressLine() { clear(); }

    static bool stderrIsTerminal();

    // Replaces the line; nothing happens when the text is the same.
    void show(const QString &text);
    // Removes the line, before anything else is written to the terminal.
    void clear();

private:
    bool enabled_;
    QString text_;
};
