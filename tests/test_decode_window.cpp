// Decoding in the window: the annotation strip lies under the traces sample
// for sample and goes away with the decoders; a line of the panel or a box of
// the strip activated shows its span with the two time cursors on it; Copy
// and Export CSV take the lines shown; the byte streams read as text and as
// a hex dump.
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QComboBox>
#include <algorithm>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/picture_box.h"
#include "display/readouts.h"
#include "frame/main_window.h"
#include "frame/view_navigation.h"
#include "panels/annotation_strip.h"
#include "panels/annotation_table_model.h"
#include "panels/byte_stream_text.h"
#include "panels/decoders_dock.h"
#include "support/simulated_window.h"

QString AboutText(const QString &portText); // Help → About

namespace {

// The decoders make the program GPL-3.0-or-later; About says so.
TEST(AboutBox, NamesTheLicence)
{
    const QString text = AboutText(QStringLiteral("simulated instrument"));
    EXPECT_TRUE(text.contains(QStringLiteral("GPL-3.0-or-later")));
    EXPECT_TRUE(text.contains(QStringLiteral("libsigrokdecode")));
}

TEST(ByteStreamText, TextKeepsLineBreaksAndEscapesTheRest)
{
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"la-sim #1\r\n", QStringLiteral("la-sim #1\n")},
        {"a\rb\nc\td", QStringLiteral("a\nb\nc\td")},
        {QByteArray("\x00\x7f\xff", 3), QStringLiteral("\\x00\\x7f\\xff")},
        {"back\\slash", QStringLiteral("back\\\\slash")},
        {"\r", QStringLiteral("\n")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BytesAsText(c.bytes), c.text) << c.bytes.toHex().constData();
}

TEST(ByteStreamText, HexDumpLinesOfSixteen)
{
    QByteArray bytes = "la-sim #1\r\n";
    EXPECT_EQ(BytesAsHexDump(bytes), QStringLiteral("0000  6c 61 2d 73 69 6d 20 23  31 0d 0a                 |la-sim #1..|\n"));
    bytes = QByteArray(17, 'A');
    const QStringList lines = BytesAsHexDump(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("|AAAAAAAAAAAAAAAA|")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0010  41 ")));
    EXPECT_EQ(lines[0].indexOf(QLatin1Char('|')), lines[1].indexOf(QLatin1Char('|'))); // the ASCII column stays aligned
}

TEST(ViewForSpan, CentresAndStaysInRange)
{
    EXPECT_EQ(ViewStartCentringSpan(1000, 1200, 1.0f, 30000), 750);
    EXPECT_EQ(ViewStartCentringSpan(10, 20, 1.0f, 30000), 0);
    EXPECT_EQ(ViewStartCentringSpan(32700, 32760, 0.1f, 25867), 25867);
}

struct DecodedWindow : SimulatedWindow {
    DecodedWindow()
    {
        DecodersDock &dock = window->decoders();
        QSignalSpy shown(&dock, &DecodersDock::resultShown);
        dock.addDecoder(QStringLiteral("uart:rx=CH1:baudrate=115200"));
        EXPECT_TRUE(shown.wait(20000));
    }
    DecodersDock &dock() { return window->decoders(); }
    // The first line of the table (as shown) of class `classId`.
    QModelIndex firstLineOfClass(const QString &classId)
    {
        QSortFilterProxyModel *shown = dock().shownResults();
        for (int r = 0; r < shown->rowCount(); ++r) {
            const AnnotationLine *l = dock().resultModel()->line(shown->mapToSource(shown->index(r, 0)).row());
            if (l && l->classId() == classId)
                return shown->index(r, AnnotationTableModel::TextColumn);
        }
        return {};
    }
};

TEST(AnnotationStripInWindow, LiesUnderTheTracesAndGoesWithTheDecoders)
{
    SimulatedWindow sim;
    const QSize before = sim.window->size();
    DecodersDock &dock = sim.window->decoders();
    dock.hide(); // the strip alone
    QSignalSpy shown(&dock, &DecodersDock::resultShown);
    dock.addDecoder(QStringLiteral("uart:rx=CH1:baudrate=115200"));
    ASSERT_TRUE(shown.wait(20000));
    dock.hide();
    AnnotationStrip &strip = sim.window->annotationStrip();
    ASSERT_TRUE(strip.isVisible());
    ASSERT_GT(strip.rowCount(), 0);
    EXPECT_EQ(strip.width(), sim.window->form().width());

    // The middle of each rx-data annotation, placed by the traces' own
    // geometry in Picture1, finds that annotation in the strip below it.
    Form1 &form = sim.window->form();
    const DecodeRow *row = dock.result()->instance(QStringLiteral("uart-1"))->row(QStringLiteral("rx-data"));
    ASSERT_NE(row, nullptr);
    int checked = 0;
    for (int step : {0, 3, 6}) {
        form.VScroll1->setValue(step);
        for (const DecodeAnnotation &a : row->annotations()) {
            const int64_t middle = (a.start + a.end) / 2;
            form.HScroll1->setValue(int(std::max<int64_t>(0, middle - 20)));
            const double pictureX = 40 + double(middle - form.HScroll1->value()) * form.state.Magnification;
            const QPoint global = form.Picture1->mapToGlobal(QPoint(int(pictureX), 10));
            int stripRow = 0;
            while (stripRow < strip.rowCount() && !strip.rowTitle(stripRow).endsWith(row->description))
                ++stripRow;
            ASSERT_LT(stripRow, strip.rowCount());
            const QPoint local(strip.mapFromGlobal(global).x(), strip.rowTop(stripRow) + 9);
            const DecodeAnnotation *found = strip.annotationAt(local);
            ASSERT_NE(found, nullptr) << "mag step " << step << " sample " << middle;
            EXPECT_LE(found->start, middle);
            EXPECT_GE(found->end, middle);
            ++checked;
        }
    }
    EXPECT_GT(checked, 30);

    // Double-clicking a box puts the time cursors on it, as the panel does.
    const DecodeAnnotation &first = row->annotations()[3];
    form.VScroll1->setValue(6);
    form.HScroll1->setValue(int(first.start));
    int stripRow = 0;
    while (!strip.rowTitle(stripRow).endsWith(row->description))
        ++stripRow;
    const QPoint inBox(strip.mapFromGlobal(form.Picture1->mapToGlobal(QPoint(45, 0))).x(),
                       strip.rowTop(stripRow) + 9);
    QTest::mouseDClick(&strip, Qt::LeftButton, {}, inBox);
    EXPECT_EQ(form.state.XRefSample, first.start);
    EXPECT_EQ(form.state.XAxisSample, first.end);

    // Many rows scroll inside a strip of eight.
    QSignalSpy again(&dock, &DecodersDock::resultShown);
    for (const char *stack : {"spi:clk=CH2:mosi=CH3:cs=CH4", "i2c:scl=CH5:sda=CH6", "uart:rx=CH7"}) {
        dock.addDecoder(QString::fromLatin1(stack));
        ASSERT_TRUE(again.wait(20000));
    }
    ASSERT_GT(strip.rowCount(), 8);
    QWidget *area = sim.window->findChild<QWidget *>(QStringLiteral("annotationStripArea"));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->height(), strip.heightOfRows(8));

    // Without decoders the strip is gone and the window has its old size.
    dock.hide();
    dock.removeAll();
    // The layouts settle in turn.
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.window->size() == before; }, 2000)) << sim.window->height();
    EXPECT_FALSE(strip.isVisible());
}

TEST(DecodeResultsPanel, ActivatingALinePutsTheTimeCursorsOnIt)
{
    DecodedWindow sim;
    Form1 &form = sim.window->form();
    for (int step : {0, 6}) { // Mag x10: the byte must be zoomed out to; Mag 1/10: it fits at once
        form.VScroll1->setValue(step);
        const QModelIndex index = sim.firstLineOfClass(QStringLiteral("rx-data"));
        ASSERT_TRUE(index.isValid());
        const qint64 first = index.data(AnnotationTableModel::SpanStartRole).toLongLong();
        const qint64 last = index.data(AnnotationTableModel::SpanEndRole).toLongLong();
        ASSERT_GT(last - first, 1000); // a UART character at 20 MHz
        QTableView *table = sim.dock().results();
        table->scrollTo(index);
        QSignalSpy requested(&sim.dock(), &DecodersDock::spanRequested);
        // A double-click: press and release, then the second press arrives as a double-click.
        const QPoint at = table->visualRect(index).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(requested.count(), 1) << table->isVisible() << " " << table->visualRect(index).y();

        EXPECT_EQ(form.state.XRefSample, first);
        EXPECT_EQ(form.state.XAxisSample, last);
        EXPECT_EQ(form.Label2->text(), UpdateReadoutsText(form.state.SamplePeriodUs, int32_t(last - first), true));
        const double mag = form.state.Magnification;
        EXPECT_LE(double(last - first) * mag, 680.0);
        if (step == 0)
            EXPECT_GT(double(last - first) * mag * 2.5, 680.0) << "zoomed out further than needed";
        else
            EXPECT_EQ(form.VScroll1->value(), 6);
        const int view = form.HScroll1->value();
        EXPECT_LE(view, first);
        EXPECT_LE(double(last - view) * mag, 700.0);
    }
}

// A span longer than the widest view: the cursors still land on both ends,
// placed one after the other as the view moves.
TEST(DecodeResultsPanel, ASpanWiderThanTheViewStillGetsBothCursors)
{
    SimulatedWindow sim;
    Form1 &form = sim.window->form();
    for (const auto &[first, last] : {std::pair<int64_t, int64_t>{1000, 20000}, {0, 32767}, {100, 200}}) {
        sim.window->navigator().showSpan(first, last);
        EXPECT_EQ(form.state.XRefSample, first);
        EXPECT_EQ(form.state.XAxisSample, last);
        EXPECT_EQ(form.Label2->text(), UpdateReadoutsText(form.state.SamplePeriodUs, int32_t(last - first), true));
    }
}

TEST(DecodeResultsPanel, CopyAndCsvTakeTheLinesShown)
{
    DecodedWindow sim;
    DecodersDock &dock = sim.dock();
    dock.filterBox()->setText(QStringLiteral("Start bit"));
    const int shown = dock.shownResults()->rowCount();
    ASSERT_GT(shown, 5);
    ASSERT_LT(shown, dock.resultModel()->rowCount());

    const QStringList copied = dock.copyText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), shown + 1);
    EXPECT_EQ(copied[0], QStringLiteral("Start\tEnd\tDecoder\tRow\tText"));
    EXPECT_TRUE(copied[1].endsWith(QStringLiteral("\tuart-1\tRX\tStart bit"))) << qPrintable(copied[1]);

    dock.results()->selectRow(2);
    EXPECT_EQ(dock.copyText().count(QLatin1Char('\n')), 2); // header and the one line selected

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lines.csv"));
    QString error;
    ASSERT_TRUE(dock.exportCsv(path, &error)) << qPrintable(error);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), shown + 1);
    EXPECT_EQ(lines[0], QStringLiteral("start,end,decoder,row,text"));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",uart-1,rx-data,Start bit"))) << qPrintable(lines[1]);

    // A place that cannot be written is refused with its reason, the old file kept.
    EXPECT_FALSE(dock.exportCsv(dir.filePath(QStringLiteral("no/such/dir/x.csv")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("x.csv"))) << qPrintable(error);
}

TEST(DecodeResultsPanel, ByteStreamReadsTheSimulatorsText)
{
    DecodedWindow sim;
    DecodersDock &dock = sim.dock();
    QComboBox *streams = dock.streamChoice();
    ASSERT_GE(streams->count(), 1);
    EXPECT_EQ(streams->currentText(), QStringLiteral("uart-1: RX data"));
    // The capture starts inside a character; the text after it is whole.
    EXPECT_TRUE(dock.streamText()->toPlainText().contains(QStringLiteral("sim #0000 Hello!")))
        << qPrintable(dock.streamText()->toPlainText().left(200));
    dock.streamFormat()->setCurrentText(QStringLiteral("Hex"));
    const QString hex = dock.streamText()->toPlainText();
    EXPECT_TRUE(hex.startsWith(QStringLiteral("0000  "))) << qPrintable(hex.left(200));
    EXPECT_TRUE(hex.contains(QStringLiteral("73 69 6d 20 23 30"))) << qPrintable(hex.left(400)); // "sim #0"

    dock.removeAll();
    EXPECT_EQ(streams->count(), 0);
    EXPECT_TRUE(dock.streamText()->toPlainText().isEmpty());
}

} // namespace
