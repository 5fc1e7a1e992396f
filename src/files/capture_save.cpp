#include "files/capture_save.h"

#include <QSaveFile>

#include "app/sample_store.h"
#include "files/atomic_write.h"

bool SaveCaptureFile(const QString &path, const CaptureSettings &settings, int32_t lastSampleIndex,
                     const SampleStore &data, bool analog, QString *error)
{
    return WriteAtomically(
        path, [&](QSaveFile &file) { return WriteCaptureFile(file, settings, lastSampleIndex, data, analog); },
        QStringLiteral("saved"), error);
}
