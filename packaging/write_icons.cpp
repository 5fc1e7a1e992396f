// Build-time helper: writes the application icon into an icon-theme tree,
// OUT/NxN/apps/NAME.png for every size given, from the drawing the window
// itself uses, so the desktop menu shows exactly the program's icon.
//
//     la-icon-writer OUT NAME SIZE...
#include <QDir>
#include <QString>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fputs("usage: la-icon-writer OUT NAME SIZE...\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 1) {
            std::fprintf(stderr, "la-icon-writer: bad size %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
        if (!QDir().mkpath(dir) || !AppIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "la-icon-writer: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
