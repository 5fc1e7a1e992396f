#include "support/private_home.h"

#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string &Folder()
{
    static std::string folder;
    return folder;
}

void RemoveFolder()
{
    if (!Folder().empty())
        QDir(QString::fromStdString(Folder())).removeRecursively();
}

} // namespace

void UsePrivateUserFolders()
{
    char path[] = "/tmp/la-home-XXXXXX";
    if (!mkdtemp(path))
        std::abort(); // no private folder: better no run than one on the user's state
    Folder() = path;
    std::atexit(RemoveFolder);
    const QByteArray home(path);
    qputenv("HOME", home);
    for (const char *sub : {"config", "data", "cache", "state"}) {
        const QByteArray dir = home + '/' + sub;
        QDir().mkpath(QString::fromLatin1(dir));
        qputenv(("XDG_" + QByteArray(sub).toUpper() + "_HOME").constData(), dir);
    }
    qunsetenv("SIGROKDECODE_DIR");
}
