// The installation: `cmake --install` of this build tree lays out what a
// desktop needs and its validators accept, and the Debian package made from
// the same tree installs on this machine and starts from the menu's command.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/app_icon.h"
#include "app/app_options.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out; // standard output and error together
};

ToolRun RunTool(const QString &program, const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        r.out = QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

QString ReadText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The command of the desktop entry's Exec line, without field codes.
QStringList ExecCommand(const QString &desktopFile)
{
    QSettings entry(desktopFile, QSettings::IniFormat);
    const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
    QStringList words = exec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    words.removeIf([](const QString &w) { return w.startsWith(QLatin1Char('%')); });
    return words;
}

const QString kVersionLine = QStringLiteral("logic-analyzer " LA_VERSION);

} // namespace

TEST(Install, StagedTreeHasEverythingADesktopNeedsAndPassesItsValidators)
{
    QTemporaryDir stage;
    ASSERT_TRUE(stage.isValid());
    const QString root = stage.path();
    const ToolRun install = RunTool(QStringLiteral(LA_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(LA_BUILD_DIR), QStringLiteral("--prefix"), root});
    ASSERT_EQ(install.exitCode, 0) << qPrintable(install.out);

    for (const char *program : {"logic-analyzer", "la-sim"})
        EXPECT_TRUE(QFileInfo(root + QStringLiteral("/bin/") + QLatin1String(program)).isExecutable()) << program;
    const ToolRun version = RunTool(root + QStringLiteral("/bin/logic-analyzer"), {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), kVersionLine);

    // The menu entry: the program by name (found on the PATH), in the categories asked for.
    const QString desktop = root + QStringLiteral("/share/applications/logic-analyzer.desktop");
    ASSERT_TRUE(QFile::exists(desktop));
    QSettings entry(desktop, QSettings::IniFormat);
    EXPECT_EQ(ExecCommand(desktop), QStringList{QStringLiteral("logic-analyzer")});
    EXPECT_EQ(entry.value(QStringLiteral("Desktop Entry/Icon")).toString(), QStringLiteral("logic-analyzer"));
    EXPECT_TRUE(ReadText(desktop).contains(QStringLiteral("\nCategories=Development;Electronics;\n")));
    const ToolRun desktopCheck = RunTool(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(desktopCheck.exitCode, 0) << qPrintable(desktopCheck.out);
    EXPECT_TRUE(desktopCheck.out.trimmed().isEmpty()) << qPrintable(desktopCheck.out);

    // The icon at every size is the window's own drawing.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString png = root + QStringLiteral("/share/icons/hicolor/%1x%1/apps/logic-analyzer.png").arg(size);
        const QImage icon(png);
        ASSERT_FALSE(icon.isNull()) << qPrintable(png);
        EXPECT_EQ(icon.convertToFormat(QImage::Format_RGB32), AppIconImage(size)) << size;
    }

    const QStringList metainfo =
        QDir(root + QStringLiteral("/share/metainfo")).entryList({QStringLiteral("*.metainfo.xml")}, QDir::Files);
    ASSERT_EQ(metainfo.size(), 1) << qPrintable(metainfo.join(QLatin1Char(' ')));
    const QString metainfoPath = root + QStringLiteral("/share/metainfo/") + metainfo.first();
    EXPECT_TRUE(ReadText(metainfoPath).contains(QStringLiteral("<release version=\"" LA_VERSION "\"")));
    const ToolRun appstream = RunTool(QStringLiteral("appstreamcli"),
                                  {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfoPath});
    EXPECT_EQ(appstream.exitCode, 0) << qPrintable(appstream.out);

    // The manual page documents every option the program knows.
    QString man = ReadText(root + QStringLiteral("/share/man/man1/logic-analyzer.1"));
    ASSERT_FALSE(man.isEmpty());
    man.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const QRegularExpression option(QStringLiteral("--[a-z-]+"));
    auto options = option.globalMatch(AppUsageText(QStringLiteral("logic-analyzer")));
    while (options.hasNext()) {
        const QString name = options.next().captured();
        EXPECT_TRUE(man.contains(name)) << "the manual page lacks " << qPrintable(name);
    }
    for (const char *key : {"F5", "Ctrl+O", "Ctrl+S", "Ctrl+Q", "Ctrl+=", "Ctrl+1", "Ctrl+5", "PgUp", "Home"})
        EXPECT_TRUE(man.contains(QLatin1String(key))) << "the manual page lacks " << key;
}

TEST(Install, DebianPackageInstallsAndStartsFromTheMenuCommand)
{
    if (LA_SANITIZE_BUILD)
        GTEST_SKIP() << "the package is made and tried from the normal build";
    if (geteuid() != 0)
        GTEST_SKIP() << "installing a package needs root";
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg")).isEmpty())
        GTEST_SKIP() << "not a Debian system";
    // A package the user installed is theirs: this test would remove it.
    const ToolRun before = RunTool(QStringLiteral("dpkg-query"),
                               {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), QStringLiteral("logic-analyzer")});
    if (before.out.contains(QStringLiteral("installed")) && !before.out.contains(QStringLiteral("not-installed")))
        GTEST_SKIP() << "logic-analyzer is installed on this machine already";

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const ToolRun cpack = RunTool(QStringLiteral(LA_CPACK_COMMAND),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                               QStringLiteral(LA_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), work.path()},
                              240000);
    ASSERT_EQ(cpack.exitCode, 0) << qPrintable(cpack.out);
    const QStringList debs = QDir(work.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << qPrintable(cpack.out);
    const QString deb = work.filePath(debs.first());

    // Libraries found by shlibdeps in the binaries, and the fonts named by hand.
    const ToolRun depends = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    EXPECT_TRUE(depends.out.contains(QStringLiteral("libqt6serialport6"))) << qPrintable(depends.out);
    EXPECT_TRUE(depends.out.contains(QStringLiteral("fonts-noto-cjk"))) << qPrintable(depends.out);
    EXPECT_TRUE(depends.out.contains(QStringLiteral("libsigrokdecode4"))) << qPrintable(depends.out);

    const ToolRun install = RunTool(QStringLiteral("dpkg"), {QStringLiteral("-i"), deb});
    // Whatever happens from here, the machine is left as it was.
    struct Remove {
        ~Remove() { RunTool(QStringLiteral("dpkg"), {QStringLiteral("--purge"), QStringLiteral("logic-analyzer")}); }
    } remove;
    ASSERT_EQ(install.exitCode, 0) << qPrintable(install.out);

    const QString desktop = QStringLiteral("/usr/share/applications/logic-analyzer.desktop");
    const QStringList command = ExecCommand(desktop);
    ASSERT_FALSE(command.isEmpty()) << "no Exec line in " << qPrintable(desktop);
    EXPECT_EQ(QStandardPaths::findExecutable(command.first()), QStringLiteral("/usr/bin/logic-analyzer"));

    const ToolRun version = RunTool(command.first(), command.mid(1) << QStringLiteral("--version"));
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), kVersionLine);
    const ToolRun help = RunTool(command.first(), command.mid(1) << QStringLiteral("--help"));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: logic-analyzer"))) << qPrintable(help.out);

    // The installed program opens its window, measures with the simulated
    // instrument and draws.
    const QString shot = work.filePath(QStringLiteral("window.png"));
    const ToolRun window = RunTool(command.first(), command.mid(1) << QStringLiteral("--simulate")
                                                                << QStringLiteral("--sim-no-pacing")
                                                                << QStringLiteral("--sim-time-scale") << QStringLiteral("0")
                                                                << QStringLiteral("--screenshot") << shot);
    EXPECT_EQ(window.exitCode, 0) << qPrintable(window.out);
    EXPECT_FALSE(QImage(shot).isNull());
}
