#include "frame/export_command.h"

#include <cstdio>

#include "app/application.h"
#include "app/form1.h"
#include "frame/capture_transfer.h"

namespace {

int Fail(const QString &message)
{
    std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(message));
    return 1;
}

void Warn(const QStringList &warnings)
{
    for (const QString &w : warnings)
        std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(w));
}

} // namespace

int RunPictureExportCommand(int &argc, char **argv, const QString &in, const QString &out)
{
    QStringList warnings;
    QString error;
    // The window is built off screen, the file imported into it as Open
    // capture does, and its drawing area painted. What was left out of the
    // input is said only when the picture is written.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    Form1 form(PortChoice{PortChoice::Detached, QString()});
    form.Form_Load();
    if (!ImportIntoWindow(form, in, &error, &warnings) || !ExportFromWindow(form, out, &error))
        return Fail(error);
    Warn(warnings);
    return 0;
}
