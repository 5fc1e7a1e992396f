#include "decode/python_error.h"

#include <QRegularExpression>

QString PythonError::summary() const
{
    if (file.isEmpty())
        return message;
    return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message);
}

PythonError ParsePythonTraceback(const QString &text, int frames)
{
    // '  File "/path/pd.py", line 30, in decode' or, for a SyntaxError,
    // '  File "/path/pd.py", line 5' without a function.
    static const QRegularExpression frameLine(QStringLiteral("^\\s*File \"(.*)\", line (\\d+)(?:, in (.*))?$"));
    PythonError error;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const int start = int(lines.lastIndexOf(QRegularExpression(QStringLiteral("^Traceback \\(most recent call last\\)"))));
    QStringList frameTexts;
    for (int i = std::max(start, 0); i < lines.size(); ++i) {
        const QRegularExpressionMatch m = frameLine.match(lines[i]);
        if (!m.hasMatch())
            continue;
        error.file = m.captured(1);
        error.line = m.captured(2).toInt();
        QString frame = QStringLiteral("%1:%2").arg(error.file, m.captured(2));
        if (!m.captured(3).isEmpty())
            frame += QStringLiteral(" in ") + m.captured(3);
        // The source line Python prints under the frame, if any.
        if (i + 1 < lines.size() && !frameLine.match(lines[i + 1]).hasMatch()
            && lines[i + 1].startsWith(QLatin1String("    ")))
            frame += QStringLiteral(": ") + lines[i + 1].trimmed();
        frameTexts << frame;
    }
    // The exception's line: the last line that is not part of a frame (a
    // SyntaxError prints the source and a caret under its frame).
    for (int i = int(lines.size()) - 1; i >= 0; --i) {
        const QString l = lines[i].trimmed();
        if (l.isEmpty() || lines[i].startsWith(QLatin1Char(' ')))
            continue;
        error.message = l;
        break;
    }
    error.lastLines = frameTexts.mid(std::max<qsizetype>(0, frameTexts.size() - frames));
    if (!error.message.isEmpty())
        error.lastLines << error.message;
    return error;
}
