// The Load and Save buttons: file dialog preparation, the capture file written
// from the window, and the file read back through the controls' reactions.
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/error_report.h"
#include "app/picture_box.h"
#include "files/capture_load.h"
#include "support/form_fixture.h"

namespace {

int CheckedIndex(QPushButton *const *group, int count)
{
    for (int i = 0; i < count; ++i)
        if (group[i]->isChecked())
            return i;
    return -1;
}

// Everything Load may change, and the buttons it must not turn on.
struct Snapshot {
    int option1, option2, option3, option4, combo1, combo2, vscroll2;
    QString combo1Entry0, combo1Text;
    int checks[4];
    int32_t lastSampleIndex;
    int fields;
    int32_t upperBound;
    std::vector<int32_t> values;
    bool run, dataRead, save;
    float samplePeriodUs, voltageScale;

    bool operator==(const Snapshot &o) const
    {
        return option1 == o.option1 && option2 == o.option2 && option3 == o.option3 && option4 == o.option4
            && combo1 == o.combo1 && combo2 == o.combo2 && vscroll2 == o.vscroll2
            && combo1Entry0 == o.combo1Entry0 && combo1Text == o.combo1Text && checks[0] == o.checks[0]
            && checks[1] == o.checks[1] && checks[2] == o.checks[2] && checks[3] == o.checks[3]
            && lastSampleIndex == o.lastSampleIndex && fields == o.fields && upperBound == o.upperBound
            && values == o.values && run == o.run && dataRead == o.dataRead && save == o.save
            && samplePeriodUs == o.samplePeriodUs && voltageScale == o.voltageScale;
    }
};

Snapshot Take(const Form1 &f)
{
    Snapshot s{};
    s.option1 = CheckedIndex(f.Option1, 2);
    s.option2 = CheckedIndex(f.Option2, 4);
    s.option3 = CheckedIndex(f.Option3, 4);
    s.option4 = CheckedIndex(f.Option4, 2);
    s.combo1 = f.Combo1->currentIndex();
    s.combo1Entry0 = f.Combo1->itemText(0);
    s.combo1Text = f.Combo1->currentText();
    s.combo2 = f.Combo2->currentIndex();
    s.vscroll2 = f.VScroll2->value();
    for (int i = 0; i < 4; ++i)
        s.checks[i] = f.checkValue(i);
    s.lastSampleIndex = f.state.LastSampleIndex;
    s.fields = f.state.SampleData.fieldCount();
    s.upperBound = f.state.SampleData.upperBound();
    for (int fld = 0; fld < s.fields; ++fld)
        for (int32_t n = 0; n <= s.upperBound; ++n)
            s.values.push_back(f.state.SampleData.at(fld, n));
    s.run = f.Command1[1]->isEnabled();
    s.dataRead = f.Command1[2]->isEnabled();
    s.save = f.Command2[1]->isEnabled();
    s.samplePeriodUs = f.state.SamplePeriodUs;
    s.voltageScale = f.state.VoltageScale;
    return s;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void SetRecords(Form1 &f, int fields, const std::vector<std::vector<int32_t>> &records)
{
    f.state.SampleData.create(fields, static_cast<int32_t>(records.size()) - 1);
    for (size_t n = 0; n < records.size(); ++n)
        for (int fld = 0; fld < fields; ++fld)
            f.state.SampleData.set(fld, static_cast<int32_t>(n), records[n][static_cast<size_t>(fld)]);
    f.state.LastSampleIndex = static_cast<int32_t>(records.size()) - 1;
}

std::vector<int32_t> Record(const Form1 &f, int32_t n)
{
    std::vector<int32_t> r;
    for (int fld = 0; fld < f.state.SampleData.fieldCount(); ++fld)
        r.push_back(f.state.SampleData.at(fld, n));
    return r;
}

const QByteArray kExample = "13,10,5,0,1,127\r\n2\r\n0,85\r\n37,170\r\n102,85\r\n";

class SaveLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        form = MakeDetachedForm();
        form->showFileDialog = [this](CommonDialog &d, bool save) {
            seen.push_back(d);
            seenSave.push_back(save);
            if (nextPath.isEmpty())
                return DialogResult::Cancelled;
            d.FileName = nextPath;
            return DialogResult::Confirmed;
        };
        SetMessageSink([this](const QString &title, const QString &text, bool) {
            messages.push_back(title + QStringLiteral(": ") + text);
        });
    }
    void TearDown() override { SetMessageSink(nullptr); }

    QString Path(const QString &name) const { return dir.filePath(name); }

    void SaveTo(const QString &path)
    {
        nextPath = path;
        form->Command2_Click(1);
    }
    void LoadFrom(const QString &path)
    {
        nextPath = path;
        form->Command2_Click(0);
    }
    void LoadText(const QByteArray &text)
    {
        const QString path = Path(QStringLiteral("in.log"));
        WriteFile(path, text);
        LoadFrom(path);
    }

    // The settings of the worked example of the file format.
    void SetUpExample()
    {
        form->selectOption(form->Option1[1]);
        form->setListIndex(form->Combo1, 5);
        form->selectOption(form->Option3[2]);
        form->selectOption(form->Option2[0]);
        form->setCheckValue(0, 1);
        form->setCheckValue(1, 0);
        form->setCheckValue(2, 1);
        form->setCheckValue(3, 0);
        form->setListIndex(form->Combo2, 1);
        form->VScroll2->setValue(127);
        SetRecords(*form, 2, {{0, 85}, {37, 170}, {102, 85}});
    }

    // Settings that differ from the example in every stored field.
    void SetUpOtherSettings()
    {
        form->selectOption(form->Option1[0]);
        form->setListIndex(form->Combo1, 2);
        form->selectOption(form->Option3[1]);
        form->selectOption(form->Option2[3]);
        form->setCheckValue(0, 0);
        form->setCheckValue(1, 1);
        form->setCheckValue(2, 0);
        form->setCheckValue(3, 1);
        form->setListIndex(form->Combo2, 4);
        form->VScroll2->setValue(3);
        SetRecords(*form, 2, {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    }

    QTemporaryDir dir;
    std::unique_ptr<Form1> form;
    QString nextPath;
    std::vector<CommonDialog> seen;
    std::vector<bool> seenSave;
    std::vector<QString> messages;
};

} // namespace

// ------------------------------------------------------------------ Save

TEST_F(SaveLoad, SavesTheWorkedExampleByteForByte)
{
    SetUpExample();
    SaveTo(Path(QStringLiteral("example.log")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("example.log"))), kExample);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(seenSave.size(), 1u);
    EXPECT_TRUE(seenSave[0]);
}

TEST_F(SaveLoad, EmptyCaptureGivesTwoLines)
{
    SetUpExample();
    form->state.LastSampleIndex = -1;
    SaveTo(Path(QStringLiteral("empty.log")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty.log"))), QByteArray("13,10,5,0,1,127\r\n-1\r\n"));
}

TEST_F(SaveLoad, AnalogCaptureWritesThreeValuesPerRecord)
{
    form->selectOption(form->Option4[1]);
    form->setListIndex(form->Combo1, 3);
    SetRecords(*form, 3, {{0, 1, 100}, {5, 2, 200}});
    SaveTo(Path(QStringLiteral("analog.log")));
    // Option1(0) "Trigger", rate 3; channel 0 and condition 3 ("↑ ＝");
    // pattern 1 + 4; analog; scale 1; level 127.
    EXPECT_EQ(ReadAll(Path(QStringLiteral("analog.log"))),
              QByteArray("3,3,5,1,1,127\r\n1\r\n0,1,100\r\n5,2,200\r\n"));
}

TEST_F(SaveLoad, SaveChangesNothingElse)
{
    SetUpExample();
    form->Command1[1]->setEnabled(true);
    const Snapshot before = Take(*form);
    const size_t drawn = form->Picture1->drawnLineCount();
    const QString label7 = form->Label7->text();
    SaveTo(Path(QStringLiteral("x.log")));
    EXPECT_TRUE(Take(*form) == before);
    EXPECT_EQ(form->Picture1->drawnLineCount(), drawn);
    EXPECT_EQ(form->Label7->text(), label7);
}

TEST_F(SaveLoad, SaveOverwritesAnExistingFileWithoutAsking)
{
    const QString path = Path(QStringLiteral("old.log"));
    WriteFile(path, "old contents that are longer than the new file will be ........................");
    SetUpExample();
    SaveTo(path);
    EXPECT_EQ(ReadAll(path), kExample);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveLoad, NameWithoutExtensionIsUsedAsTyped)
{
    SetUpExample();
    SaveTo(Path(QStringLiteral("capture")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("capture"))), kExample);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("capture.log"))));
}

TEST_F(SaveLoad, FailedSaveToReadOnlyFileKeepsItAndReports)
{
    const QString path = Path(QStringLiteral("ro.log"));
    const QByteArray original = "1,2,3,4,5,6\r\n-1\r\n";
    WriteFile(path, original);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    SetUpExample();
    SaveTo(path);
    EXPECT_EQ(ReadAll(path), original);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(path))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("read-only"))) << messages[0].toStdString();
    // Nothing else is left in the folder (no temporary file).
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(SaveLoad, FailedSaveToMissingFolderReports)
{
    const QString path = Path(QStringLiteral("no-such-folder/c.log"));
    SetUpExample();
    const Snapshot before = Take(*form);
    SaveTo(path);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(path))) << messages[0].toStdString();
    EXPECT_TRUE(Take(*form) == before);
}

TEST_F(SaveLoad, FailedSaveToReadOnlyFolderKeepsTheFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    const QString sub = Path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString path = sub + QStringLiteral("/c.log");
    const QByteArray original = "old";
    WriteFile(path, original);
    ASSERT_TRUE(QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    SetUpExample();
    SaveTo(path);
    QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(path), original);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(SaveLoad, SaveThatRunsOutOfSpaceKeepsTheOldFile)
{
    // A file size limit makes every write past it fail, as a full disk does.
    const QString path = Path(QStringLiteral("big.log"));
    const QByteArray original = "13,10,5,0,1,127\r\n-1\r\n";
    WriteFile(path, original);
    std::vector<std::vector<int32_t>> records(50000, std::vector<int32_t>{32767, 255});
    SetUpExample();
    SetRecords(*form, 2, records);

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveTo(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadAll(path), original);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(path))) << messages[0].toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// ------------------------------------------------------------------ the dialog

TEST_F(SaveLoad, FirstDialogOffersTheStartFolderAndIsPrepared)
{
    ASSERT_TRUE(form->CommonDialog1.FileName.isEmpty());
    form->Command2_Click(1);
    ASSERT_EQ(seen.size(), 1u);
    const CommonDialog &d = seen[0];
    EXPECT_EQ(d.FileName, form->CommonDialog1.InitDir + QStringLiteral("*.log"));
    EXPECT_TRUE(d.CancelError);
    EXPECT_EQ(d.Flags, 2097156);
    EXPECT_EQ(d.Filter, QStringLiteral("logファイル (*.log)|*.log|"));
    EXPECT_EQ(d.FilterIndex, 1);
    form->Command2_Click(0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seenSave[1]);
    EXPECT_EQ(seen[1].FileName, form->CommonDialog1.InitDir + QStringLiteral("*.log"));
}

TEST_F(SaveLoad, NextDialogOpensInTheFolderOfTheLastChoice)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x/y")));
    const QString chosen = Path(QStringLiteral("x/y/file.log"));
    SetUpExample();
    SaveTo(chosen);
    EXPECT_EQ(form->CommonDialog1.FileName, chosen);
    nextPath.clear();
    form->Command2_Click(0); // cancelled
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].FileName, Path(QStringLiteral("x/y/*.log")));
    EXPECT_EQ(form->CommonDialog1.FileName, Path(QStringLiteral("x/y/*.log")));
}

TEST_F(SaveLoad, BackslashPathsAndBareNamesArePreparedToo)
{
    form->CommonDialog1.FileName = QStringLiteral("C:\\data\\cap.log");
    form->Command2_Click(1);
    EXPECT_EQ(seen.back().FileName, QStringLiteral("C:\\data\\*.log"));
    // No separator at all: the pattern is appended to the whole name.
    form->CommonDialog1.FileName = QStringLiteral("cap.log");
    form->Command2_Click(1);
    EXPECT_EQ(seen.back().FileName, QStringLiteral("cap.log*.log"));
}

TEST_F(SaveLoad, CancelChangesNothingButTheFileName)
{
    SetUpExample();
    form->CommonDialog1.FileName = Path(QStringLiteral("a.log"));
    const Snapshot before = Take(*form);
    nextPath.clear();
    form->Command2_Click(0);
    form->Command2_Click(1);
    EXPECT_TRUE(Take(*form) == before);
    EXPECT_EQ(form->CommonDialog1.FileName, Path(QStringLiteral("*.log")));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

TEST_F(SaveLoad, IndexOtherThanZeroIsSave)
{
    SetUpExample();
    nextPath = Path(QStringLiteral("s.log"));
    form->Command2_Click(-3);
    EXPECT_EQ(ReadAll(nextPath), kExample);
}

// ------------------------------------------------------------------ Load

TEST_F(SaveLoad, SaveThenLoadRestoresSettingsAndRecords)
{
    SetUpExample();
    const QString path = Path(QStringLiteral("round.log"));
    SaveTo(path);
    const Snapshot saved = Take(*form);
    SetUpOtherSettings();
    ASSERT_FALSE(Take(*form) == saved);
    LoadFrom(path);
    EXPECT_TRUE(messages.empty());
    const Snapshot loaded = Take(*form);
    EXPECT_EQ(loaded.option1, 1);
    EXPECT_EQ(loaded.combo1, 5);
    EXPECT_EQ(loaded.option3, 2);
    EXPECT_EQ(loaded.option2, 0);
    EXPECT_EQ(loaded.option4, 0);
    EXPECT_EQ(loaded.combo2, 1);
    EXPECT_EQ(loaded.vscroll2, 127);
    EXPECT_TRUE(loaded == saved);
    EXPECT_EQ(form->state.SampleData.fieldCount(), 2);
    EXPECT_EQ(form->state.SampleData.upperBound(), 2);
    EXPECT_EQ(Record(*form, 1), (std::vector<int32_t>{37, 170}));
    // The reactions ran: pattern boxes visible and captioned, channel
    // captions, rate period, trigger-level text.
    EXPECT_FALSE(form->Check1[0]->isHidden());
    EXPECT_TRUE(form->Option3[0]->isHidden());
    EXPECT_EQ(form->Check1[0]->text(), QStringLiteral("1"));
    EXPECT_EQ(form->Check1[3]->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Option3[2]->text(), QStringLiteral("Trigger"));
    EXPECT_EQ(form->Option3[1]->text(), QStringLiteral("N/A"));
    EXPECT_FLOAT_EQ(form->state.SamplePeriodUs, 2.0f);
}

TEST_F(SaveLoad, SaveThenLoadUnchangedKeepsEverythingIncludingButtons)
{
    SetUpExample();
    for (QPushButton *b : {form->Command1[1], form->Command1[2], form->Command2[1]})
        b->setEnabled(true);
    const QString path = Path(QStringLiteral("same.log"));
    SaveTo(path);
    const Snapshot before = Take(*form);
    LoadFrom(path);
    // No setting changed, so no reaction ran: Load itself leaves the buttons.
    EXPECT_TRUE(Take(*form) == before);
}

TEST_F(SaveLoad, LoadNeverEnablesAButton)
{
    SetUpExample();
    const QString path = Path(QStringLiteral("b.log"));
    SaveTo(path);
    SetUpOtherSettings();
    ASSERT_FALSE(form->Command1[1]->isEnabled());
    ASSERT_FALSE(form->Command1[2]->isEnabled());
    ASSERT_FALSE(form->Command2[1]->isEnabled());
    LoadFrom(path);
    EXPECT_FALSE(form->Command1[1]->isEnabled());
    EXPECT_FALSE(form->Command1[2]->isEnabled());
    EXPECT_FALSE(form->Command2[1]->isEnabled());
    EXPECT_TRUE(form->Command1[0]->isEnabled());
    EXPECT_TRUE(form->Command2[0]->isEnabled());
}

TEST_F(SaveLoad, AnalogFileLoadedInLogicModeSwitchesAndKeepsTheRate)
{
    form->selectOption(form->Option4[1]);
    form->setListIndex(form->Combo1, 3);
    form->setListIndex(form->Combo2, 2);
    SetRecords(*form, 3, {{0, 1, 100}, {5, 2, 200}, {9, 3, 50}});
    const QString path = Path(QStringLiteral("analog.log"));
    SaveTo(path);
    form->selectOption(form->Option4[0]);
    form->setListIndex(form->Combo1, 6);
    ASSERT_TRUE(form->isLogicMode());
    ASSERT_EQ(form->state.LastSampleIndex, -1);

    LoadFrom(path);
    EXPECT_TRUE(form->isAnalogMode());
    EXPECT_EQ(form->Combo1->currentIndex(), 3);
    EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("2KHz"));
    EXPECT_FLOAT_EQ(form->state.SamplePeriodUs, 500.0f);
    EXPECT_EQ(form->Combo2->currentIndex(), 2);
    EXPECT_FLOAT_EQ(form->state.VoltageScale, 2.0f);
    EXPECT_EQ(form->state.LastSampleIndex, 2);
    EXPECT_EQ(form->state.SampleData.fieldCount(), 3);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{0, 1, 100}));
    EXPECT_EQ(Record(*form, 2), (std::vector<int32_t>{9, 3, 50}));
}

TEST_F(SaveLoad, RateZeroAfterModeSwitchStaysOnFirstEntry)
{
    LoadText("0,3,0,1,1,100\r\n0\r\n4,5,6\r\n");
    EXPECT_TRUE(form->isAnalogMode());
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->Combo1->currentText(), QStringLiteral("20KHz"));
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{4, 5, 6}));
}

TEST_F(SaveLoad, LoadRedrawsTheCapture)
{
    form->Picture1->clearDrawing();
    LoadText(kExample);
    EXPECT_GT(form->Picture1->drawnLineCount(), 0u);
    EXPECT_EQ(form->Label6->text(), QStringLiteral("0"));
}

TEST_F(SaveLoad, EmptyCaptureLoadsAsNoCaptureAndDrawsNothing)
{
    SetUpExample();
    form->HScroll1_Change();
    ASSERT_GT(form->Picture1->drawnLineCount(), 0u);
    LoadText("13,10,5,0,1,127\r\n-1\r\n");
    EXPECT_EQ(form->state.LastSampleIndex, -1);
    EXPECT_TRUE(form->state.SampleData.isEmpty());
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveLoad, LoadPumpsPendingEventsBeforeTheRedraw)
{
    bool ran = false;
    QMetaObject::invokeMethod(
        form.get(), [&ran] { ran = true; }, Qt::QueuedConnection);
    LoadText(kExample);
    EXPECT_TRUE(ran);
}

// ------------------------------------------------------------------ tolerance

TEST_F(SaveLoad, EarlyEndAppliesTheLastValueToTheRemainingSteps)
{
    SetUpExample(); // logic, LastSampleIndex 2
    form->setListIndex(form->Combo2, 3);
    LoadText("9,6");
    EXPECT_EQ(CheckedIndex(form->Option1, 2), 1);      // 9 / 8 = 1
    EXPECT_EQ(form->Combo1->currentIndex(), 1);        // 9 mod 8
    EXPECT_EQ(CheckedIndex(form->Option3, 4), 1);      // 6 / 4
    EXPECT_EQ(CheckedIndex(form->Option2, 4), 0);      // tag 2 = 6 mod 4
    EXPECT_EQ(form->checkValue(0), 0);                 // 6 = 0110
    EXPECT_EQ(form->checkValue(1), 1);
    EXPECT_EQ(form->checkValue(2), 1);
    EXPECT_EQ(form->checkValue(3), 0);
    EXPECT_TRUE(form->isLogicMode());                  // 6 is not 1
    EXPECT_EQ(form->Combo2->currentIndex(), 3);        // entry 6 does not exist
    EXPECT_EQ(form->VScroll2->value(), 6);
    // Line 2 missing: the index stays, its records are rebuilt as zeros.
    EXPECT_EQ(form->state.LastSampleIndex, 2);
    EXPECT_EQ(form->state.SampleData.fieldCount(), 2);
    EXPECT_EQ(form->state.SampleData.upperBound(), 2);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Record(*form, 2), (std::vector<int32_t>{0, 0}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveLoad, MissingLineTwoAfterAModeSwitchLeavesNoCapture)
{
    SetUpExample(); // logic, LastSampleIndex 2
    LoadText("0,0,0,1,1,100\r\n");
    EXPECT_TRUE(form->isAnalogMode());
    EXPECT_EQ(form->state.LastSampleIndex, -1);
    EXPECT_TRUE(form->state.SampleData.isEmpty());
}

TEST_F(SaveLoad, UnreadableLineTwoKeepsTheIndexAndReadsOnFromThere)
{
    SetUpExample(); // logic, LastSampleIndex 2
    LoadText("13,10,5,0,1,127\r\nabc\r\n5,1\r\n");
    EXPECT_EQ(form->state.LastSampleIndex, 2);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{5, 1}));
    EXPECT_EQ(Record(*form, 1), (std::vector<int32_t>{0, 0}));
}

TEST_F(SaveLoad, SettingsValueAbove255AppliesThePreviousField)
{
    LoadText("9,300,5,0,1,127\r\n-1\r\n");
    // Field 2 failed: the holder still holds 9 -> channel 2, condition 1 ("↓ ≠").
    EXPECT_EQ(CheckedIndex(form->Option3, 4), 2);
    EXPECT_EQ(CheckedIndex(form->Option2, 4), 3);
    EXPECT_EQ(form->checkValue(0), 1);
    EXPECT_EQ(form->checkValue(2), 1);

    LoadText("13,10,5,0,1,300\r\n-1\r\n");
    EXPECT_EQ(form->VScroll2->value(), 1); // field 5's value
}

TEST_F(SaveLoad, ChannelFieldOf16AndAboveSelectsNoChannel)
{
    form->selectOption(form->Option3[1]);
    LoadText("0,18,0,0,1,127\r\n-1\r\n");
    EXPECT_EQ(CheckedIndex(form->Option3, 4), 1); // unchanged
    EXPECT_EQ(CheckedIndex(form->Option2, 4), 0); // 18 mod 4 = 2: tag "2"
}

TEST_F(SaveLoad, ThreeValueRecordsInLogicModeAreReadMisaligned)
{
    LoadText("0,0,0,0,1,100\r\n1\r\n1,2,3\r\n4,5,6\r\n");
    EXPECT_EQ(form->state.LastSampleIndex, 1);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Record(*form, 1), (std::vector<int32_t>{3, 4}));
}

TEST_F(SaveLoad, TextAfterTheLastRecordIsIgnored)
{
    LoadText("0,0,0,0,1,100\r\n0\r\n5,6\r\ngarbage,7\r\n9,9\r\n");
    EXPECT_EQ(form->state.LastSampleIndex, 0);
    EXPECT_EQ(form->state.SampleData.upperBound(), 0);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{5, 6}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(SaveLoad, BlanksAndLoneLineEndsAreAccepted)
{
    SetUpOtherSettings();
    LoadText(" 13 , 10 ,5,\t0, 1 ,127 \r 2\n0,85\r37 ,170\n\n102,85");
    EXPECT_EQ(CheckedIndex(form->Option1, 2), 1);
    EXPECT_EQ(form->Combo1->currentIndex(), 5);
    EXPECT_EQ(CheckedIndex(form->Option3, 4), 2);
    EXPECT_EQ(form->VScroll2->value(), 127);
    EXPECT_EQ(form->state.LastSampleIndex, 2);
    EXPECT_EQ(Record(*form, 1), (std::vector<int32_t>{37, 170}));
    EXPECT_EQ(Record(*form, 2), (std::vector<int32_t>{102, 85}));
}

TEST_F(SaveLoad, ScaleIndexTheListLacksLeavesItUnchanged)
{
    form->setListIndex(form->Combo2, 3);
    LoadText("0,3,0,0,7,100\r\n-1\r\n");
    EXPECT_EQ(form->Combo2->currentIndex(), 3);
    EXPECT_EQ(form->VScroll2->value(), 100);
}

TEST_F(SaveLoad, MissingRecordsStayZero)
{
    LoadText("0,3,0,0,1,100\r\n4\r\n1,2\r\n3,");
    EXPECT_EQ(form->state.LastSampleIndex, 4);
    EXPECT_EQ(Record(*form, 0), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Record(*form, 1), (std::vector<int32_t>{3, 0}));
    EXPECT_EQ(Record(*form, 4), (std::vector<int32_t>{0, 0}));
}

// ------------------------------------------------------------------ refusals

TEST_F(SaveLoad, MissingFileChangesNothingAndReports)
{
    SetUpExample();
    const Snapshot before = Take(*form);
    const QString path = Path(QStringLiteral("absent.log"));
    LoadFrom(path);
    EXPECT_TRUE(Take(*form) == before);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(path))) << messages[0].toStdString();
}

TEST_F(SaveLoad, FolderInsteadOfFileChangesNothingAndReports)
{
    SetUpExample();
    const Snapshot before = Take(*form);
    LoadFrom(dir.path());
    EXPECT_TRUE(Take(*form) == before);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(SaveLoad, ImpossibleRecordCountsAreRefusedAtOnce)
{
    SetUpExample();
    const Snapshot before = Take(*form);
    for (const char *count : {"2000000000", "-5", "1048576", "2147483647", "-2147483648"}) {
        messages.clear();
        QElapsedTimer t;
        t.start();
        LoadText(QByteArray("0,3,0,1,4,9\r\n") + count + "\r\n1,2,3\r\n");
        EXPECT_LT(t.elapsed(), 1000) << count;
        EXPECT_TRUE(Take(*form) == before) << count;
        ASSERT_EQ(messages.size(), 1u) << count;
        EXPECT_TRUE(messages[0].contains(QString::fromLatin1(count))) << messages[0].toStdString();
    }
}

TEST_F(SaveLoad, LargeCountWithFewRecordsIsAcceptedQuickly)
{
    QElapsedTimer t;
    t.start();
    LoadText("0,3,0,0,1,100\r\n1000000\r\n0,85\r\n37,170\r\n102,85\r\n");
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->state.LastSampleIndex, 1000000);
    EXPECT_EQ(form->state.SampleData.upperBound(), 1000000);
    EXPECT_EQ(Record(*form, 2), (std::vector<int32_t>{102, 85}));
    EXPECT_EQ(Record(*form, 3), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Record(*form, 1000000), (std::vector<int32_t>{0, 0}));
}

TEST_F(SaveLoad, LargestAcceptedCount)
{
    LoadText("0,3,0,0,1,100\r\n1048575\r\n");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->state.LastSampleIndex, Form1::kMaxStreamRecords - 1);
    EXPECT_EQ(form->state.SampleData.upperBound(), Form1::kMaxStreamRecords - 1);
}

// ------------------------------------------------------------------ parser alone

namespace {
ParseResult Parse(const QByteArray &text, const CaptureLoadContext &c, ParsedCapture &out)
{
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    return ParseCaptureFile(b, c, out);
}
} // namespace

TEST(CaptureParse, HolderFollowsFailedFields)
{
    ParsedCapture p;
    ASSERT_EQ(Parse("x,300,7,,2", {false, -1, 100}, p), ParseResult::Ok);
    EXPECT_FALSE(p.settings[0]);
    EXPECT_FALSE(p.settings[1]);
    EXPECT_EQ(p.settings[2], std::optional<uint8_t>(7));
    EXPECT_FALSE(p.settings[3]);
    EXPECT_EQ(p.settings[4], std::optional<uint8_t>(2));
    EXPECT_FALSE(p.settings[5]);
    EXPECT_EQ(p.holder, (std::array<uint8_t, 6>{0, 0, 7, 7, 2, 2}));
    EXPECT_FALSE(p.analog);
    EXPECT_FALSE(p.lastSampleIndex);
}

TEST(CaptureParse, MissingLineTwoUsesTheIndexTheModeStepLeaves)
{
    ParsedCapture p;
    // Same mode: the index before Load, with its records read from the file.
    ASSERT_EQ(Parse("0,0,0,1,0,0\r\nabc\r\n1,2,3\r\n", {true, 1, 100}, p), ParseResult::Ok);
    EXPECT_TRUE(p.analog);
    EXPECT_EQ(p.recordsLastIndex, 1);
    EXPECT_EQ(p.records.fieldCount(), 3);
    EXPECT_EQ(p.records.at(2, 0), 3);
    EXPECT_EQ(p.records.at(0, 1), 0);
    // The mode switches: no records.
    ASSERT_EQ(Parse("0,0,0,1,0,0\r\n", {false, 5, 100}, p), ParseResult::Ok);
    EXPECT_EQ(p.recordsLastIndex, -1);
    EXPECT_TRUE(p.records.isEmpty());
}

TEST(CaptureParse, CountLimitIsTheContextsOwn)
{
    ParsedCapture p;
    EXPECT_EQ(Parse("0,0,0,0,0,0\r\n10\r\n", {false, -1, 10}, p), ParseResult::Ok);
    EXPECT_EQ(p.records.upperBound(), 10);
    EXPECT_EQ(Parse("0,0,0,0,0,0\r\n11\r\n", {false, -1, 10}, p), ParseResult::BadRecordCount);
    EXPECT_EQ(p.lastSampleIndex, std::optional<int32_t>(11));
    EXPECT_TRUE(p.records.isEmpty());
    EXPECT_EQ(Parse("0,0,0,0,0,0\r\n-2\r\n", {false, -1, 10}, p), ParseResult::BadRecordCount);
}
