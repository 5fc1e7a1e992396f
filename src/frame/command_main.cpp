// The program as scripts and desktops start it: `logic-analyzer`.
//
// The commands that draw nothing (--capture, --detect, --decode, --export to
// a data format, --help, --version) run here, in a program that links no
// window system, fonts or widgets, so each starts like a command-line tool.
// Everything else (the window, --open, --screenshot, picture exports,
// --list-ports) is the window program's, which this one becomes with the same
// arguments (the same process, so scripts keep its id). Built where exec
// replaces a process (Unix); on Windows the window program is the one program.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "commands/drawless_commands.h"

namespace {

int Fail(const QString &message, int status)
{
    std::fprintf(stderr, "logic-analyzer: %s\n", qPrintable(message));
    return status;
}

// Replaces this process by the window program: beside this one in a build
// tree, in the installation's libexec folder otherwise.
int BecomeWindowProgram(int argc, char **argv)
{
    QString folder;
    {
        QCoreApplication self(argc, argv);
        folder = QCoreApplication::applicationDirPath();
    }
    const QString name = QStringLiteral("logic-analyzer-window");
    QString program;
    for (const QString &candidate : {folder + QLatin1Char('/') + name,
                                     folder + QStringLiteral("/" LA_WINDOW_PROGRAM_FROM_BIN "/") + name}) {
        if (QFileInfo(candidate).isExecutable()) {
            program = QDir::cleanPath(candidate);
            break;
        }
    }
    if (program.isEmpty())
        return Fail(QStringLiteral("the window program %1 is not installed beside %2").arg(name, folder), 1);
    execv(QFile::encodeName(program).constData(), argv);
    return Fail(QStringLiteral("%1 cannot be started: %2").arg(program, QString::fromLocal8Bit(std::strerror(errno))),
                1);
}

} // namespace

int main(int argc, char **argv)
{
    int status = 0;
    if (RunDrawlessCommand(argc, argv, &status))
        return status;
    return BecomeWindowProgram(argc, argv);
}
