#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

// An error that ends the program (a port that cannot be opened at start-up,
// an error that escaped a handler).
class FatalError : public std::runtime_error {
public:
    explicit FatalError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// Shows a message box naming the error; also written to standard error, and
// only written there when there is no screen to show a box on (offscreen).
void ReportError(const QString &title, const QString &text);
// Same for information the user must see but that does not end anything.
void ReportWarning(const QString &title, const QString &text);
// One warning listing what was left out of something read or added, a line each.
void ReportLeftOut(const QString &title, const QStringList &lines);

// Tests replace how messages are shown; nullptr restores the message boxes.
using MessageSink = std::function<void(const QString &title, const QString &text, bool fatal)>;
void SetMessageSink(MessageSink sink);
