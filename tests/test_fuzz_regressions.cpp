// Replays the inputs kept in tests/fuzz/regressions (each once made a fuzz
// target fail) and the fuzzers' seed inputs through the drivers the fuzz
// targets use, so they run on every test run, also with gcc and without
// libFuzzer.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "support/form_fixture.h"
#include "support/hostile_input.h"
#include "support/import_input.h"

namespace {

QString FuzzDir() { return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/fuzz"); }

// Every input file for one target: regressions first, then seeds.
QFileInfoList Inputs(const QString &target)
{
    QFileInfoList all;
    for (const char *kind : {"regressions", "seeds"}) {
        QDir d(FuzzDir() + QLatin1Char('/') + QLatin1String(kind) + QLatin1Char('/') + target);
        all += d.entryInfoList(QDir::Files, QDir::Name);
    }
    return all;
}

QByteArray Contents(const QFileInfo &info)
{
    QFile f(info.absoluteFilePath());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(info.absoluteFilePath());
    return f.readAll();
}

} // namespace

TEST(FuzzRegressions, ReceiveHandlerInputsKeepTheSharedStateConsistent)
{
    const QFileInfoList inputs = Inputs(QStringLiteral("receive_handler"));
    ASSERT_FALSE(inputs.isEmpty()) << "no inputs under " << qPrintable(FuzzDir());
    auto form = MakeDetachedForm(false);
    for (const QFileInfo &info : inputs) {
        SCOPED_TRACE(info.absoluteFilePath().toStdString());
        const QByteArray data = Contents(info);
        // As the fuzzer ran it (one window for every input), and on a fresh window.
        EXPECT_EQ(hostile::RunReceiveInput(*form, reinterpret_cast<const uint8_t *>(data.constData()),
                                           size_t(data.size())),
                  "");
        auto fresh = MakeDetachedForm(false);
        EXPECT_EQ(hostile::RunReceiveInput(*fresh, reinterpret_cast<const uint8_t *>(data.constData()),
                                           size_t(data.size())),
                  "");
    }
}

TEST(FuzzRegressions, CaptureFileInputsFollowTheFieldRules)
{
    const QFileInfoList inputs = Inputs(QStringLiteral("capture_file"));
    ASSERT_FALSE(inputs.isEmpty()) << "no inputs under " << qPrintable(FuzzDir());
    for (const QFileInfo &info : inputs) {
        SCOPED_TRACE(info.absoluteFilePath().toStdString());
        const QByteArray data = Contents(info);
        EXPECT_EQ(hostile::RunCaptureFileInput(reinterpret_cast<const uint8_t *>(data.constData()),
                                               size_t(data.size())),
                  "");
    }
}

TEST(FuzzRegressions, ImportInputsAreRefusedWithAMessageOrComeBackUnchanged)
{
    const QFileInfoList inputs = Inputs(QStringLiteral("import"));
    ASSERT_FALSE(inputs.isEmpty()) << "no inputs under " << qPrintable(FuzzDir());
    for (const QFileInfo &info : inputs) {
        SCOPED_TRACE(info.absoluteFilePath().toStdString());
        const QByteArray data = Contents(info);
        EXPECT_EQ(hostile::RunImportInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())),
                  "");
    }
}
