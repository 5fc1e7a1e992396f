#pragma once

#include <QString>
#include <QStringList>

#include "capture/capture.h"

// What an importer makes of a file: the capture with messages about what was
// left out or adapted, or a refusal saying what did not fit the instrument.
struct ImportResult {
    bool ok = false;
    Capture capture;
    QStringList warnings; // what was changed to make the file fit, when ok
    QString error;        // why the file was refused, when not ok

    static ImportResult refused(const QString &why)
    {
        ImportResult r;
        r.error = why;
        return r;
    }
};
