#include "acquire/progress_line.h"

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

bool ProgressLine::stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressLine::show(const QString &text)
{
    if (!enabled_ || text == text_)
        return;
    // The new text over the old one, blanks over what it leaves.
    const qsizetype pad = std::max<qsizetype>(0, text_.size() - text.size());
    const QByteArray line = "\r" + text.toLocal8Bit() + QByteArray(pad, ' ') + QByteArray(pad, '\b');
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    text_ = text;
}

void ProgressLine::clear()
{
    if (!enabled_ || text_.isEmpty())
        return;
    const QByteArray line = "\r" + QByteArray(text_.size(), ' ') + "\r";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    text_.clear();
}
