// Captures leaving and entering the window: export in every format, import
// ending as a Load of the equivalent "*.log", pictures, the menu commands and
// the command-line conversion.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/picture_box.h"
#include "export/capture_convert.h"
#include "export/log_export.h"
#include "frame/capture_commands.h"
#include "frame/capture_transfer.h"
#include "frame/main_window.h"
#include "frame/status_panel.h"
#include "frame/view_navigation.h"
#include "support/form_fixture.h"

namespace {

// A stream with a change every `every` periods; Analog records carry a ramp.
QByteArray Stream(bool analog, int every, int length)
{
    QByteArray s(1, char(0x02));
    for (int t = 0, k = 0; t < length; t += every, ++k) {
        s.append(char(t >> 8));
        s.append(char(t & 0xFF));
        s.append(char(uint8_t(k * 37 + (k >> 3))));
        if (analog)
            s.append(char(uint8_t(k * 5)));
    }
    s.append(char(0x80));
    return s;
}

std::unique_ptr<MainWindow> Framed()
{
    auto w = std::make_unique<MainWindow>(MakeDetachedForm(false).release(), QStringLiteral("test"));
    w->show();
    DeliverEvents();
    return w;
}

// Settings, a capture read from the scripted instrument, at rate `rate`.
void Capture(Form1 &form, bool analog, int rate)
{
    if (analog)
        form.Option4[1]->setChecked(true);
    form.Combo1->setCurrentIndex(rate);
    if (analog)
        form.setSliderValue(3000); // the length the Analog stream below covers
    const QByteArray stream = Stream(analog, analog ? 1 : 3, analog ? 3000 : 32767);
    ScriptInstrument(form, [stream](const QByteArray &w) {
        const int code = uint8_t(w[0]) & 0x0F;
        return code == 6 || code == 7 ? stream : Bytes({0x06});
    });
    form.Command1[0]->click();
    form.Command1[1]->click();
    DeliverEvents();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Capture files whose last record has the last time stamp of the mode, and
// one that goes on past the longest capture.
const QByteArray kLastStampLogic = "0,10,0,0,1,127\r\n2\r\n0,54\r\n1000,18\r\n32767,255\r\n";
const QByteArray kLastStampAnalog = "0,3,0,1,1,127\r\n2\r\n0,1,10\r\n5000,2,20\r\n16383,3,200\r\n";
const QByteArray kLongerLogic = "0,10,0,0,1,127\r\n2\r\n0,54\r\n1000,18\r\n40000,255\r\n";

// Messages that would have been boxes, while the object lives.
struct MessageBoxes {
    QStringList texts;
    MessageBoxes() { SetMessageSink([this](const QString &, const QString &text, bool) { texts << text; }); }
    ~MessageBoxes() { SetMessageSink(nullptr); }
};

void ExpectSameWindowCapture(const Form1 &a, const Form1 &b, const char *what)
{
    const ::Capture ca = a.capture(), cb = b.capture();
    EXPECT_EQ(ca.mode(), cb.mode()) << what;
    EXPECT_EQ(ca.rateIndex(), cb.rateIndex()) << what;
    EXPECT_EQ(ca.expandLogic(), cb.expandLogic()) << what;
    EXPECT_EQ(ca.expandAnalog(), cb.expandAnalog()) << what;
}

TEST(CaptureTransfer, ExportThenImportGivesTheCaptureAndTheStateOfALoad)
{
    QTemporaryDir dir;
    for (const bool analog : {false, true}) {
        auto source = Framed();
        Capture(source->form(), analog, 2);
        ASSERT_GT(source->form().state.LastSampleIndex, 100);

        // What a Load of the equivalent "*.log" gives.
        const QString logPath = dir.filePath(QStringLiteral("equivalent.log"));
        QFile log(logPath);
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write(CaptureLogText(source->form().capture()));
        log.close();
        auto loaded = Framed();
        loaded->form().showFileDialog = [logPath](CommonDialog &d, bool) {
            d.FileName = logPath;
            return DialogResult::Confirmed;
        };
        loaded->form().Command2[0]->click();

        for (const char *ext : {"vcd", "csv", "sr", "log"}) {
            const QString path = dir.filePath(QStringLiteral("capture.%1").arg(QLatin1String(ext)));
            QString error;
            ASSERT_TRUE(ExportFromWindow(source->form(), path, &error)) << qPrintable(error);
            auto target = Framed();
            QStringList warnings;
            ASSERT_TRUE(ImportIntoWindow(target->form(), path, &error, &warnings)) << qPrintable(error);
            EXPECT_TRUE(warnings.isEmpty()) << ext << ": " << qPrintable(warnings.join(QLatin1Char('\n')));
            ExpectSameWindowCapture(source->form(), target->form(), ext);
            // The window is in the state the Load left, settings and store alike.
            const Form1 &t = target->form(), &l = loaded->form();
            EXPECT_EQ(t.isAnalogMode(), l.isAnalogMode()) << ext;
            EXPECT_EQ(t.Combo1->currentIndex(), l.Combo1->currentIndex()) << ext;
            EXPECT_EQ(t.state.LastSampleIndex, l.state.LastSampleIndex) << ext;
            EXPECT_EQ(t.Label6->text(), l.Label6->text()) << ext;
            EXPECT_EQ(t.Picture1->drawnLineCount(), l.Picture1->drawnLineCount()) << ext;
        }
    }
}

TEST(CaptureTransfer, OpenCaptureKeepsAndDrawsARecordAtTheLastTimeStamp)
{
    QTemporaryDir dir;
    MessageBoxes boxes;
    for (const bool analog : {false, true}) {
        const QString source = dir.filePath(QStringLiteral("source.log"));
        WriteFile(source, analog ? kLastStampAnalog : kLastStampLogic);
        const int32_t last = analog ? 16383 : 32767;
        for (const char *ext : {"log", "vcd", "csv", "sr"}) {
            SCOPED_TRACE(std::string(analog ? "analog ." : "logic .") + ext);
            // The file itself, or what this program converts it into.
            QString path = source, error;
            if (QLatin1String(ext) != QLatin1String("log")) {
                path = dir.filePath(QStringLiteral("last.%1").arg(QLatin1String(ext)));
                ASSERT_TRUE(ConvertCaptureFile(source, path, &error)) << qPrintable(error);
            }
            auto w = Framed();
            w->captureCommands().askFileName = [path](const QString &, const QString &, bool) { return path; };
            w->action(QStringLiteral("actionOpenCapture"))->trigger();
            EXPECT_TRUE(boxes.texts.isEmpty()) << qPrintable(boxes.texts.join(QLatin1Char('\n')));
            EXPECT_TRUE(w->status().noticeText().isEmpty()) << qPrintable(w->status().noticeText());

            const Form1 &f = w->form();
            const int32_t n = f.state.LastSampleIndex;
            ASSERT_GE(n, 2);
            EXPECT_EQ(f.state.SampleData.at(0, n), last);
            EXPECT_EQ(f.state.SampleData.at(1, n), analog ? 3 : 255);
            EXPECT_EQ(f.state.SampleData.at(1, n - 1), analog ? 2 : 18);
            if (analog) {
                EXPECT_EQ(f.state.SampleData.at(2, n), 200);
            }
            EXPECT_EQ(f.capture().sampleCount(), last + 1);

            // At the end of the view the record's edge is drawn: CH1 rises.
            w->navigator().goToEnd();
            const double x = 40 + double(last - f.HScroll1->value()) * double(f.state.Magnification);
            const std::vector<QLineF> *lines = f.Picture1->drawnLines(Qt::black);
            ASSERT_NE(lines, nullptr);
            EXPECT_TRUE(std::any_of(lines->begin(), lines->end(), [&](const QLineF &l) {
                return l.x1() == x && l.x2() == x && l.y1() == 35 && l.y2() == 7;
            })) << "no edge at x " << x;
        }
    }
}

TEST(CaptureTransfer, WhatAnImportLeavesOutIsANoticeInTheStatusBarUntilTheNextCapture)
{
    QTemporaryDir dir;
    MessageBoxes boxes;
    const QString longer = dir.filePath(QStringLiteral("longer.log"));
    const QString fits = dir.filePath(QStringLiteral("fits.log"));
    WriteFile(longer, kLongerLogic);
    WriteFile(fits, kLastStampLogic);
    auto w = Framed();
    const int width = w->width();
    w->captureCommands().open(longer);
    DeliverEvents();
    EXPECT_TRUE(boxes.texts.isEmpty()) << qPrintable(boxes.texts.join(QLatin1Char('\n')));
    EXPECT_TRUE(w->status().noticeText().contains(QStringLiteral("Only the first 32768 sample periods are kept")))
        << qPrintable(w->status().noticeText());
    // The capture is open, up to the end of the longest capture.
    EXPECT_EQ(w->form().state.SampleData.at(0, w->form().state.LastSampleIndex), 32767);
    EXPECT_EQ(w->form().state.SampleData.at(1, w->form().state.LastSampleIndex), 18);
    EXPECT_EQ(w->width(), width); // however long the notice

    w->captureCommands().open(fits);
    EXPECT_TRUE(w->status().noticeText().isEmpty()) << qPrintable(w->status().noticeText());
}

TEST(CaptureTransfer, ARefusedFileChangesNothing)
{
    QTemporaryDir dir;
    auto w = Framed();
    Capture(w->form(), false, 0);
    const int32_t last = w->form().state.LastSampleIndex;
    const QString path = dir.filePath(QStringLiteral("broken.vcd"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("$timescale 7 fs $end\n$var wire 1 ! a $end\n#0 1!\n#3");
    f.close();
    QString error;
    QStringList warnings;
    EXPECT_FALSE(ImportIntoWindow(w->form(), path, &error, &warnings));
    EXPECT_TRUE(error.contains(QStringLiteral("broken.vcd"))) << qPrintable(error);
    EXPECT_EQ(w->form().state.LastSampleIndex, last);
    EXPECT_TRUE(w->form().Command2[1]->isEnabled()); // nothing was loaded: Save stays on
}

TEST(CaptureTransfer, PicturesOfTheDrawingArea)
{
    QTemporaryDir dir;
    auto w = Framed();
    Capture(w->form(), true, 0);
    QString error;
    const QString png = dir.filePath(QStringLiteral("view.png"));
    ASSERT_TRUE(ExportFromWindow(w->form(), png, &error)) << qPrintable(error);
    const QImage image(png);
    EXPECT_EQ(image.width(), w->form().Picture1->width());
    EXPECT_GT(image.height(), w->form().Picture1->height());

    const QString svg = dir.filePath(QStringLiteral("view.svg"));
    ASSERT_TRUE(ExportFromWindow(w->form(), svg, &error)) << qPrintable(error);
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_GT(text.count("<path") + text.count("<polyline"), 10); // traces as vectors
    EXPECT_EQ(text.count("<image"), 0);                            // not a bitmap
    EXPECT_TRUE(text.contains("Analog"));

    // A failed write leaves the file that was there.
    QFile::setPermissions(png, QFileDevice::ReadOwner);
    const QByteArray before = [&] { QFile p(png); p.open(QIODevice::ReadOnly); return p.readAll(); }();
    EXPECT_FALSE(ExportFromWindow(w->form(), png, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("view.png"))) << qPrintable(error);
    QFile again(png);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}

TEST(CaptureTransfer, MenuCommandsFollowTheCaptureAndAddTheSuffix)
{
    QTemporaryDir dir;
    auto w = Framed();
    QAction *vcd = w->action(QStringLiteral("actionExportVcd"));
    ASSERT_NE(vcd, nullptr);
    EXPECT_FALSE(vcd->isEnabled());
    EXPECT_FALSE(w->action(QStringLiteral("actionCopyImage"))->isEnabled());
    Capture(w->form(), false, 1);
    EXPECT_TRUE(vcd->isEnabled());

    const QString typed = dir.filePath(QStringLiteral("typed"));
    w->captureCommands().askFileName = [&](const QString &, const QString &, bool save) {
        return save ? typed : dir.filePath(QStringLiteral("typed.vcd"));
    };
    vcd->trigger();
    EXPECT_TRUE(QFile::exists(typed + QStringLiteral(".vcd")));

    // Open capture brings it into a new window.
    auto other = Framed();
    other->captureCommands().askFileName = w->captureCommands().askFileName;
    other->action(QStringLiteral("actionOpenCapture"))->trigger();
    ExpectSameWindowCapture(w->form(), other->form(), "open capture");
    EXPECT_TRUE(other->action(QStringLiteral("actionExportVcd"))->isEnabled());
}

TEST(CaptureTransfer, CommandLineConvertsWithoutAWindow)
{
    QTemporaryDir dir;
    auto w = Framed();
    Capture(w->form(), false, 0);
    const QString log = dir.filePath(QStringLiteral("in.log"));
    QString error;
    ASSERT_TRUE(ExportFromWindow(w->form(), log, &error)) << qPrintable(error);

    auto run = [](const QStringList &args, QString *err) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // headless by itself
        env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LA_APP_BINARY), args);
        p.waitForFinished(30000);
        *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString err;
    for (const char *ext : {"vcd", "csv", "sr", "png", "svg"}) {
        const QString out = dir.filePath(QStringLiteral("out.%1").arg(QLatin1String(ext)));
        EXPECT_EQ(run({QStringLiteral("--export"), log, out}, &err), 0) << ext << qPrintable(err);
        EXPECT_GT(QFileInfo(out).size(), 100) << ext;
    }
    EXPECT_EQ(run({QStringLiteral("--export"), dir.filePath(QStringLiteral("out.vcd")), dir.filePath(QStringLiteral("back.log"))}, &err), 0);
    EXPECT_EQ(run({QStringLiteral("--export"), dir.filePath(QStringLiteral("missing.vcd")), dir.filePath(QStringLiteral("x.csv"))}, &err), 1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << qPrintable(err);
    EXPECT_TRUE(err.contains(QStringLiteral("missing.vcd"))) << qPrintable(err);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.csv"))));

    // A record at the last time stamp comes through as it is, without a word.
    const QString last = dir.filePath(QStringLiteral("last.log"));
    const QString copy = dir.filePath(QStringLiteral("copy.log"));
    WriteFile(last, kLastStampLogic);
    EXPECT_EQ(run({QStringLiteral("--export"), last, copy}, &err), 0) << qPrintable(err);
    EXPECT_TRUE(err.isEmpty()) << qPrintable(err);
    EXPECT_EQ(ReadFile(copy), kLastStampLogic);
    // Data past the longest capture is mentioned in one line when the output
    // is written, and not at all when the output is refused.
    const QString longer = dir.filePath(QStringLiteral("longer.log"));
    WriteFile(longer, kLongerLogic);
    for (const QString &out : {dir.filePath(QStringLiteral("x.txt")), dir.filePath(QStringLiteral("no/such/x.csv")),
                               dir.filePath(QStringLiteral("no/such/x.png"))}) {
        EXPECT_EQ(run({QStringLiteral("--export"), longer, out}, &err), 1) << qPrintable(out);
        EXPECT_EQ(err.count(QStringLiteral("logic-analyzer: ")), 1) << qPrintable(err); // Qt may add its own
        EXPECT_FALSE(err.contains(QStringLiteral("Only the first"))) << qPrintable(err);
    }
    EXPECT_EQ(run({QStringLiteral("--export"), longer, dir.filePath(QStringLiteral("longer.csv"))}, &err), 0);
    EXPECT_EQ(err, QStringLiteral("logic-analyzer: Only the first 32768 sample periods are kept: the instrument records no more.\n"));
}

} // namespace
