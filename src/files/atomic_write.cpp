#include "files/atomic_write.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The file's own permission bits; WriteUser would say what the system lets the
// current user do, which for the superuser is everything.
constexpr QFileDevice::Permissions kAnyWrite =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
} // namespace

bool WriteAtomically(const QString &path, const std::function<bool(QSaveFile &)> &write, const QString &failedVerb,
                     QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("%1 could not be %2: %3.").arg(QDir::toNativeSeparators(path), failedVerb, reason);
        return false;
    };
    const QFileInfo target(path);
    if (target.isDir())
        return fail(QStringLiteral("it is a folder"));
    if (target.exists() && (target.permissions() & kAnyWrite) == 0)
        return fail(QStringLiteral("the file is read-only"));
    QSaveFile file(path);
    // Never fall back to writing the target in place: a failure half-way
    // would leave it damaged.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (!write(file)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason.isEmpty() ? QStringLiteral("the data could not be written") : reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
