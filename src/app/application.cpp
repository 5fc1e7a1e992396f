#include "app/application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/error_report.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ReportError(QStringLiteral("Logic Analyzer"),
                    QStringLiteral("The program has to end: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ReportError(QStringLiteral("Logic Analyzer"), QStringLiteral("The program has to end: unknown error"));
    }
    std::fflush(nullptr);
    std::_Exit(1);
}
