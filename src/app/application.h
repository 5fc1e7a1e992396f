#pragma once

#include <QApplication>

// The application object. An error that escapes a handler is caught here, in
// one place: it is reported in a message box naming it and the program ends.
class Application : public QApplication {
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
