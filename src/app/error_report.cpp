#include "app/error_report.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace {
MessageSink g_sink;

bool hasScreen()
{
    const QString p = QGuiApplication::platformName();
    return !(p == QLatin1String("offscreen") || p == QLatin1String("minimal"));
}

void show(const QString &title, const QString &text, bool fatal)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    std::fflush(stderr);
    if (g_sink) {
        g_sink(title, text, fatal);
        return;
    }
    if (!qApp || !hasScreen())
        return;
    if (fatal)
        QMessageBox::critical(nullptr, title, text);
    else
        QMessageBox::warning(nullptr, title, text);
}
} // namespace

void SetMessageSink(MessageSink sink) { g_sink = std::move(sink); }
void ReportError(const QString &title, const QString &text) { show(title, text, true); }
void ReportWarning(const QString &title, const QString &text) { show(title, text, false); }

void ReportLeftOut(const QString &title, const QStringList &lines)
{
    ReportWarning(title, QStringLiteral("Left out:\n• %1").arg(lines.join(QStringLiteral("\n• "))));
}
