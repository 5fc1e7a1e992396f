// The Load and Save buttons (Command2): the file dialog, then the capture file
// written from, or read back into, the window's controls and the capture store.
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <exception>
#include <utility>

#include "app/error_report.h"
#include "app/form1.h"
#include "files/capture_load.h"
#include "files/capture_save.h"

namespace {

// Prepares the one file dialog the same way for both commands: the dialog
// opens in the folder of the file last chosen, with the pattern in its name
// field.
void PrepareDialog(CommonDialog &d)
{
    d.CancelError = true;
    d.Flags = 2097156; // hide the read-only box, long file names
    const QString pattern = QStringLiteral("*.log");
    if (d.FileName.isEmpty()) {
        d.FileName = d.InitDir + pattern;
    } else {
        const int sep = LastFolderSeparator(d.FileName);
        if (sep >= 0)
            d.FileName.truncate(sep + 1);
        d.FileName += pattern;
    }
    d.Filter = QStringLiteral("logファイル (*.log)|*.log|");
    d.FilterIndex = 1;
}

// Shows the prepared dialog; false when it was cancelled or failed, and the
// command then ends with nothing changed but the dialog's file name.
bool RunDialog(Form1 &form, bool save)
{
    PrepareDialog(form.CommonDialog1);
    try {
        return form.showFileDialog && form.showFileDialog(form.CommonDialog1, save) == DialogResult::Confirmed;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace

void Form1::Command2_Click(int index)
{
    if (index == 0)
        Load();
    else
        Save();
}

void Form1::Save()
{
    if (!RunDialog(*this, true))
        return;

    CaptureSettings s;
    s.rateAndTriggerKind = (isOptionSelected(Option1[1]) ? 8 : 0) + Combo1->currentIndex();
    int channelAndCondition = 0;
    for (int i = 0; i < 4; ++i) {
        if (isOptionSelected(Option2[i]))
            channelAndCondition += QString::fromLatin1(Option2Tag[i]).toInt();
        if (isOptionSelected(Option3[i]))
            channelAndCondition += 4 * i;
    }
    s.channelAndCondition = channelAndCondition;
    int patternBits = 0;
    for (int i = 0; i < 4; ++i)
        patternBits += (1 << i) * checkValue(i);
    s.patternBits = patternBits;
    s.analogFlag = isOptionSelected(Option4[1]) ? 1 : 0;
    s.scaleIndex = Combo2->currentIndex();
    s.triggerLevel = VScroll2->value();

    QString error;
    if (!SaveCaptureFile(CommonDialog1.FileName, s, state.LastSampleIndex, state.SampleData,
                         isOptionSelected(Option4[1]), &error))
        ReportWarning(QStringLiteral("Save"), error);
}

void Form1::Load()
{
    if (!RunDialog(*this, false))
        return;

    // The whole file is read and checked first: a file that cannot be opened
    // or holds an impossible record count changes nothing.
    CaptureLoadContext context;
    context.analogBefore = isAnalogMode();
    context.lastSampleIndexBefore = state.LastSampleIndex;
    context.maxLastSampleIndex = kMaxStreamRecords - 1;
    ParsedCapture file;
    QString error;
    if (!ReadCaptureFile(CommonDialog1.FileName, context, file, &error)) {
        ReportWarning(QStringLiteral("Load"), error);
        return;
    }

    // The settings, one at a time in file order, each with its reaction
    // (nested): trigger kind.
    uint8_t holder = file.holder[0];
    selectOption(holder / 8 > 0 ? Option1[1] : Option1[0]);
    // Rate, remembered for a mode switch below.
    const int rate = holder % 8;
    setListIndex(Combo1, rate);
    // Trigger channel and condition.
    holder = file.holder[1];
    for (int i = 0; i < 4; ++i) {
        if (holder / 4 == i)
            selectOption(Option3[i]);
        if (QString::fromLatin1(Option2Tag[i]).toInt() == holder % 4)
            selectOption(Option2[i]);
    }
    // Pattern bits 0..3.
    holder = file.holder[2];
    for (int i = 0; i < 4; ++i)
        setCheckValue(i, (holder >> i) & 1);
    // Mode. The mode switch refills the rate list and selects its first
    // entry; the stored rate is then selected again in the new list.
    holder = file.holder[3];
    const bool wasLogic = isLogicMode();
    selectOption(holder == 1 ? Option4[1] : Option4[0]);
    if (wasLogic != isLogicMode())
        setListIndex(Combo1, rate);
    // Voltage scale; an index the list lacks leaves it as it is.
    setListIndex(Combo2, file.holder[4]);
    // Trigger level.
    VScroll2->setValue(file.holder[5]);

    // The record index; a missing line 2 keeps the current one.
    if (file.lastSampleIndex)
        state.LastSampleIndex = *file.lastSampleIndex;

    // The new store with exactly records 0..LastSampleIndex, in the
    // layout of the mode now selected. The parser read the records for that
    // same mode and count, so they are taken over as they are.
    const int fields = isAnalogMode() ? 3 : 2;
    if (file.records.fieldCount() == (state.LastSampleIndex >= 0 ? fields : 0)
        && file.records.upperBound() == state.LastSampleIndex) {
        state.SampleData = std::move(file.records);
    } else {
        // A reaction changed the mode or the index behind the parser's back:
        // keep the store consistent with what is selected now.
        state.SampleData.create(fields, state.LastSampleIndex);
        const int32_t last = std::min(state.LastSampleIndex, file.records.upperBound());
        const int common = std::min(fields, file.records.fieldCount());
        for (int f = 0; f < common; ++f)
            for (int32_t n = 0; n <= last; ++n)
                state.SampleData.set(f, n, file.records.at(f, n));
    }
    captureLength_ = 0;
    // Pending events, then the view from its current position.
    pumpEvents();
    HScroll1_Change();
    emit captureChanged();
}
