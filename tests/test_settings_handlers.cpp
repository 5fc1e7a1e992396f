// The acquisition-settings handlers on a started window: mode switch, sample
// rate and measurement time, trigger controls, the stale-configuration signal
// and what "Setting" then sends.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <functional>
#include <ostream>
#include <vector>

#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"
#include "support/form_fixture.h"

namespace {

const QStringList kLogicRates{"20MHz", "10MHz", "5MHz", "2MHz", "1MHz", "500KHz", "200KHz", "100KHz"};
const QStringList kAnalogRates{"20KHz", "10KHz", "5KHz", "2KHz", "1KHz", "500Hz", "200Hz", "100Hz"};

QStringList Entries(const QComboBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

void EnableRunReadSave(Form1 &form)
{
    form.Command1[1]->setEnabled(true);
    form.Command1[2]->setEnabled(true);
    form.Command2[1]->setEnabled(true);
}

bool AnyOfRunReadSaveEnabled(const Form1 &form)
{
    return form.Command1[1]->isEnabled() || form.Command1[2]->isEnabled() || form.Command2[1]->isEnabled();
}

// A small Logic capture, drawn.
void PutCapture(Form1 &form)
{
    form.state.SampleData.create(2, 2);
    const int32_t times[3] = {0, 100, 300}, levels[3] = {0x01, 0x02, 0x01};
    for (int32_t i = 0; i < 3; ++i) {
        form.state.SampleData.set(0, i, times[i]);
        form.state.SampleData.set(1, i, levels[i]);
    }
    form.state.LastSampleIndex = 2;
    form.HScroll1_Change();
}

// ------------------------------------------------------------------ measurement time texts

TEST(SettingsRate, StartUpShowsTheTimesOfTheFastestLogicRate)
{
    auto form = MakeDetachedForm();
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->state.SamplePeriodUs, 0.05f);
    EXPECT_EQ(form->Label3[1]->text(), "Measurement Time   Max 1.638ms");
    EXPECT_EQ(form->Text1->text(), "1.638ms");
    EXPECT_EQ(form->Label2->text(), "2.5us    400kHz");
    EXPECT_FALSE(AnyOfRunReadSaveEnabled(*form));
}

struct RateCase {
    bool analog;
    int index;
    int slider;
    float period;
    const char *text1;
    const char *maxText;
};

void PrintTo(const RateCase &c, std::ostream *os)
{
    *os << (c.analog ? "Analog" : "Logic") << " rate " << c.index << " slider " << c.slider;
}

class SettingsRateTexts : public ::testing::TestWithParam<RateCase> {};

TEST_P(SettingsRateTexts, PeriodAndTimesFollowTheSelectedRate)
{
    const RateCase &c = GetParam();
    auto form = MakeDetachedForm();
    if (c.analog)
        form->Option4[1]->click();
    form->Slider1->setValue(c.slider); // a user move
    form->Combo1->setCurrentIndex(c.index);
    EXPECT_EQ(form->state.SamplePeriodUs, c.period);
    EXPECT_EQ(form->Text1->text(), QString::fromLatin1(c.text1));
    EXPECT_EQ(form->Label3[1]->text(), QStringLiteral("Measurement Time   Max ") + QString::fromLatin1(c.maxText));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsRateTexts,
    ::testing::Values(RateCase{false, 7, 32767, 10.0f, "327.67ms", "327.67ms"},
                      RateCase{false, 3, 1000, 0.5f, "500us", "16.384ms"},
                      RateCase{false, 1, 0, 0.1f, "0us", "3.277ms"},
                      RateCase{true, 7, 16383, 10000.0f, "163.83s", "163.83s"},
                      RateCase{true, 0, 16383, 50.0f, "819.15ms", "819.15ms"},
                      RateCase{true, 4, 2, 1000.0f, "2ms", "16.383s"}));

TEST(SettingsRate, TimeCursorReadoutFollowsThePeriod)
{
    auto form = MakeDetachedForm();
    form->Combo1->setCurrentIndex(4); // 1 us: 50 periods between the cursors
    EXPECT_EQ(form->Label2->text(), "50us    20kHz");
}

TEST(SettingsRate, PickingARateClearsTheDisplayButKeepsTheCapture)
{
    auto form = MakeDetachedForm();
    PutCapture(*form);
    const size_t drawn = form->Picture1->drawnLineCount();
    ASSERT_GT(drawn, 0u);
    EnableRunReadSave(*form);

    form->Combo1->setCurrentIndex(2);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_FALSE(form->Command2[1]->isEnabled());
    EXPECT_FALSE(form->Command1[1]->isEnabled());
    EXPECT_EQ(form->state.LastSampleIndex, 2);
    EXPECT_EQ(form->state.SampleData.at(0, 1), 100);
    EXPECT_EQ(form->Label2->text(), "10us    100kHz"); // 50 * 0.2 us

    // Scrolling draws it again.
    form->HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(form->HScroll1->value(), 10);
    EXPECT_GT(form->Picture1->drawnLineCount(), 0u);
    form->HScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(form->Picture1->drawnLineCount(), drawn);
}

TEST(SettingsRate, SliderMovesRefreshTheTimeAndDisableEvenWhenMovedBack)
{
    auto form = MakeDetachedForm();
    ASSERT_EQ(form->Slider1->value(), 32767);
    form->Slider1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(form->Slider1->value(), 32766);
    EXPECT_EQ(form->Text1->text(), "1.638ms");

    EnableRunReadSave(*form);
    form->Slider1->triggerAction(QAbstractSlider::SliderSingleStepAdd); // back where it was
    EXPECT_EQ(form->Slider1->value(), 32767);
    EXPECT_FALSE(AnyOfRunReadSaveEnabled(*form));

    form->Combo1->setCurrentIndex(7);
    form->Slider1->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(form->Text1->text(), "0us");
    form->Slider1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form->Text1->text(), QStringLiteral("%1us").arg(form->Slider1->value() * 10));
    EXPECT_GT(form->Slider1->value(), 0);
}

TEST(SettingsRate, SliderSetByCodeDoesNotRunTheScrollHandler)
{
    auto form = MakeDetachedForm();
    EnableRunReadSave(*form);
    form->setSliderValue(100);
    EXPECT_EQ(form->Slider1->value(), 100);
    EXPECT_EQ(form->Text1->text(), "1.638ms");
    EXPECT_TRUE(form->Command1[1]->isEnabled());
}

// ------------------------------------------------------------------ mode switch

TEST(SettingsMode, LogicToAnalogReshapesThePanel)
{
    auto form = MakeDetachedForm();
    form->Combo1->setCurrentIndex(5);
    PutCapture(*form);
    form->state.XRefSample = 20000;
    form->state.XAxisSample = 16383;
    // Line5 moved without a readout update: the switch recomputes Label4.
    form->Picture1->line(PictureBox::Line5).y1 = form->Picture1->line(PictureBox::Line5).y2 = 300;
    const bool option3Hidden = form->Option3[0]->isHidden(), check1Hidden = form->Check1[0]->isHidden();
    ASSERT_GT(form->Picture1->drawnLineCount(), 0u);
    EnableRunReadSave(*form);

    form->Option4[1]->click();

    EXPECT_TRUE(form->isAnalogMode());
    EXPECT_EQ(form->windowTitle(), "Logic Analyzer & OscilloScope");
    EXPECT_EQ(form->Slider1->maximum(), 16383);
    EXPECT_EQ(form->Slider1->value(), 16383);
    EXPECT_EQ(form->Text1->text(), "819.15ms");
    EXPECT_EQ(form->Label3[1]->text(), "Measurement Time   Max 819.15ms");
    EXPECT_EQ(Entries(form->Combo1), kAnalogRates);
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->state.SamplePeriodUs, 50.0f);
    EXPECT_EQ(form->state.XRefSample, 16383);
    EXPECT_EQ(form->state.XAxisSample, 16383);
    EXPECT_EQ(form->Label2->text(), "0us");
    EXPECT_EQ(form->Option1[0]->text(), "Trigger");
    EXPECT_EQ(form->Option1[1]->text(), "FreeRun");
    EXPECT_TRUE(form->Combo2->isEnabled());
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(form->Option3[i]->isEnabled()) << i;
        EXPECT_FALSE(form->Check1[i]->isEnabled()) << i;
        EXPECT_EQ(form->Option3[i]->isHidden(), option3Hidden) << i;
        EXPECT_EQ(form->Check1[i]->isHidden(), check1Hidden) << i;
        EXPECT_TRUE(form->Option2[i]->isEnabled()) << i;
    }
    EXPECT_TRUE(form->Option1[0]->isEnabled());
    EXPECT_EQ(form->Label4->text(), "3.75V"); // (405 - 300) * 5 / 140
    EXPECT_EQ(form->state.LastSampleIndex, -1);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_FALSE(AnyOfRunReadSaveEnabled(*form));
    EXPECT_EQ(form->HScroll1->maximum(), 15693);
}

TEST(SettingsMode, CursorsBelowTheAnalogMaximumStay)
{
    auto form = MakeDetachedForm();
    form->state.XRefSample = 16382;
    form->state.XAxisSample = -5;
    form->Option4[1]->click();
    EXPECT_EQ(form->state.XRefSample, 16382);
    EXPECT_EQ(form->state.XAxisSample, -5);
}

TEST(SettingsMode, AnalogToLogicKeepsSliderAndCursors)
{
    auto form = MakeDetachedForm();
    form->Option4[1]->click();
    form->Combo1->setCurrentIndex(6);
    form->Slider1->setValue(1200);
    form->state.XRefSample = 16000;
    form->state.XAxisSample = 16383;
    form->Picture1->line(PictureBox::Line5).y1 = form->Picture1->line(PictureBox::Line5).y2 = 300;
    const QString label4 = form->Label4->text();
    PutCapture(*form);
    EnableRunReadSave(*form);

    form->Option4[0]->click();

    EXPECT_TRUE(form->isLogicMode());
    EXPECT_EQ(form->windowTitle(), "Logic Analyzer");
    EXPECT_EQ(form->Slider1->maximum(), 32767);
    EXPECT_EQ(form->Slider1->value(), 1200);
    EXPECT_EQ(form->Text1->text(), "60us"); // 1200 * 0.05 us
    EXPECT_EQ(form->Label3[1]->text(), "Measurement Time   Max 1.638ms");
    EXPECT_EQ(Entries(form->Combo1), kLogicRates);
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->state.SamplePeriodUs, 0.05f);
    EXPECT_EQ(form->state.XRefSample, 16000);
    EXPECT_EQ(form->state.XAxisSample, 16383);
    EXPECT_EQ(form->Option1[0]->text(), "level");
    EXPECT_EQ(form->Option1[1]->text(), "Pattern");
    EXPECT_FALSE(form->Combo2->isEnabled());
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(form->Option3[i]->isEnabled()) << i;
        EXPECT_TRUE(form->Check1[i]->isEnabled()) << i;
    }
    EXPECT_EQ(form->Label4->text(), label4); // not recomputed in Logic mode
    EXPECT_EQ(form->state.LastSampleIndex, -1);
    EXPECT_EQ(form->Picture1->drawnLineCount(), 0u);
    EXPECT_FALSE(AnyOfRunReadSaveEnabled(*form));
    EXPECT_EQ(form->HScroll1->maximum(), 32077);
}

TEST(SettingsMode, CaptureIsDroppedBeforeAnythingElseAndTheRateHandlerRunsNested)
{
    auto form = MakeDetachedForm();
    PutCapture(*form);
    ASSERT_EQ(form->Combo1->currentIndex(), 0); // the list is at 0 before the switch, too

    int32_t lastIndexAtTitle = 99;
    QObject::connect(form.get(), &QWidget::windowTitleChanged,
                     [&] { lastIndexAtTitle = form->state.LastSampleIndex; });
    struct Seen {
        int index;
        float period;
        int hscrollMax;
        QString text1;
    };
    std::vector<Seen> seen;
    QObject::connect(form->Combo1, &QComboBox::currentIndexChanged, [&](int index) {
        seen.push_back({index, form->state.SamplePeriodUs, form->HScroll1->maximum(), form->Text1->text()});
    });

    form->Option4[1]->click();
    EXPECT_EQ(lastIndexAtTitle, -1);
    // One selection, of entry 0, after the view range followed the new mode;
    // the rate handler had already run when it was reported.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].index, 0);
    EXPECT_EQ(seen[0].period, 50.0f);
    EXPECT_EQ(seen[0].hscrollMax, 15693);
    EXPECT_EQ(seen[0].text1, "819.15ms");

    seen.clear();
    form->Combo1->setCurrentIndex(5);
    seen.clear();
    form->Option4[0]->click();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].index, 0);
    EXPECT_EQ(seen[0].period, 0.05f);
    EXPECT_EQ(seen[0].hscrollMax, 32077);
}

// ------------------------------------------------------------------ trigger controls

TEST(SettingsTrigger, PatternKindSwapsChannelButtonsForPatternToggles)
{
    auto form = MakeDetachedForm();
    for (int i = 0; i < 4; ++i) {
        ASSERT_FALSE(form->Option3[i]->isHidden());
        ASSERT_TRUE(form->Check1[i]->isHidden());
    }
    form->Check1[3]->setChecked(true); // kept while hidden

    form->Option1[1]->click();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(form->Option3[i]->isHidden()) << i;
        EXPECT_FALSE(form->Check1[i]->isHidden()) << i;
        EXPECT_TRUE(form->Check1[i]->isVisible()) << i;
    }
    form->Option1[0]->click();
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(form->Option3[i]->isHidden()) << i;
        EXPECT_TRUE(form->Option3[i]->isVisible()) << i;
        EXPECT_TRUE(form->Check1[i]->isHidden()) << i;
    }
    EXPECT_TRUE(form->Check1[3]->isChecked());
    EXPECT_EQ(form->Check1[3]->text(), "1");
}

TEST(SettingsTrigger, KindStillSwapsInAnalogModeWhereTheyAreDisabled)
{
    auto form = MakeDetachedForm();
    form->Option4[1]->click();
    form->Option1[1]->click(); // "FreeRun"
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(form->Option3[i]->isHidden()) << i;
        EXPECT_FALSE(form->Check1[i]->isHidden()) << i;
        EXPECT_FALSE(form->Check1[i]->isEnabled()) << i;
    }
}

TEST(SettingsTrigger, PatternToggleCaptionShowsItsBit)
{
    auto form = MakeDetachedForm();
    const char *design[4] = {"1", "0", "1", "0"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->Check1[i]->text(), design[i]) << i;
    form->Option1[1]->click();
    form->Check1[1]->click();
    EXPECT_TRUE(form->Check1[1]->isChecked());
    EXPECT_EQ(form->Check1[1]->text(), "1");
    form->Check1[1]->click();
    EXPECT_EQ(form->Check1[1]->text(), "0");
    form->Check1[0]->setChecked(false); // by code
    EXPECT_EQ(form->Check1[0]->text(), "0");
}

TEST(SettingsTrigger, SelectedChannelReadsTriggerTheOthersNA)
{
    auto form = MakeDetachedForm();
    form->Option3[2]->click();
    const char *expected[4] = {"N/A", "N/A", "Trigger", "N/A"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->Option3[i]->text(), expected[i]) << i;
    form->Option3[0]->setChecked(true); // by code
    EXPECT_EQ(form->Option3[0]->text(), "Trigger");
    EXPECT_EQ(form->Option3[2]->text(), "N/A");
}

// ------------------------------------------------------------------ stale configuration

struct StaleCase {
    const char *name;
    std::function<void(Form1 &)> change;
    bool focusesPicture; // the handler hands the keyboard focus to the drawing area
};

void PrintTo(const StaleCase &c, std::ostream *os) { *os << c.name; }

class SettingsStale : public ::testing::TestWithParam<StaleCase> {};

TEST_P(SettingsStale, EveryChangeDisablesRunReadAndSave)
{
    auto form = MakeDetachedForm();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Command1[3]->setFocus();
    ASSERT_TRUE(form->Command1[3]->hasFocus());
    EnableRunReadSave(*form);
    GetParam().change(*form);
    EXPECT_EQ(form->Picture1->hasFocus(), GetParam().focusesPicture);
    EXPECT_FALSE(form->Command1[1]->isEnabled());
    EXPECT_FALSE(form->Command1[2]->isEnabled());
    EXPECT_FALSE(form->Command2[1]->isEnabled());
    EXPECT_TRUE(form->Command1[0]->isEnabled());
    EXPECT_TRUE(form->Command1[3]->isEnabled());
    EXPECT_TRUE(form->Command2[0]->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, SettingsStale,
    ::testing::Values(StaleCase{"Option1", [](Form1 &f) { f.Option1[1]->click(); }, true},
                      StaleCase{"Option2", [](Form1 &f) { f.Option2[0]->click(); }, true},
                      StaleCase{"Option3", [](Form1 &f) { f.Option3[3]->click(); }, true},
                      StaleCase{"Check1", [](Form1 &f) { f.Check1[1]->setChecked(true); }, true},
                      StaleCase{"Option4", [](Form1 &f) { f.Option4[1]->click(); }, true},
                      StaleCase{"Combo1", [](Form1 &f) { f.Combo1->setCurrentIndex(3); }, true},
                      StaleCase{"Slider1",
                                [](Form1 &f) { f.Slider1->triggerAction(QAbstractSlider::SliderPageStepSub); }, false},
                      StaleCase{"VScroll2",
                                [](Form1 &f) { f.VScroll2->triggerAction(QAbstractSlider::SliderSingleStepAdd); }, false},
                      StaleCase{"Combo2", [](Form1 &f) { f.Combo2->setCurrentIndex(4); }, false}),
    [](const ::testing::TestParamInfo<StaleCase> &info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ what "Setting" sends

struct Sent {
    QString state;
    QByteArray bytes;
};

// ACKs every write and records the transaction state each write was made in.
std::vector<Sent> PressSetting(Form1 &form)
{
    std::vector<Sent> sent;
    ScriptInstrument(form, [&](const QByteArray &written) {
        sent.push_back({form.state.PendingCommand, written});
        return Bytes({0x06});
    });
    form.MSComm1->clearWritten();
    form.Command1[0]->click();
    form.MSComm1->onWrite = nullptr; // it refers to `sent`
    EXPECT_TRUE(form.state.PendingCommand.isEmpty());
    return sent;
}

TEST(SettingsSent, DesignStateSendsTheDefaultSettings)
{
    auto form = MakeDetachedForm();
    const std::vector<Sent> sent = PressSetting(*form);
    EXPECT_EQ(form->MSComm1->written(), Bytes({0xB0, 0x01, 0x32, 0x53, 0x09, 0x0A, 0x80}));
    const char *states[6] = {"set0", "set1", "set2", "set3", "setmode", "settrgv"};
    const QByteArray bytes[6] = {Bytes({0xB0}), Bytes({1}), Bytes({50}), Bytes({83}), Bytes({0x09}),
                                 Bytes({0x0A, 0x80})};
    ASSERT_EQ(sent.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(sent[i].state, states[i]) << i;
        EXPECT_EQ(sent[i].bytes, bytes[i]) << i;
    }
    EXPECT_TRUE(form->Command1[1]->isEnabled());
}

TEST(SettingsSent, ChangedControlsChangeTheBytes)
{
    auto form = MakeDetachedForm();
    form->Option3[3]->click();      // channel 3: + 192 in set2
    form->Option2[0]->click();      // condition code 2: + 32 in set2
    form->Option1[1]->click();      // second kind: + 128 in set1
    form->Check1[1]->click();       // pattern CH1, CH2, CH3: mask 7
    form->VScroll2->setValue(0);    // level 255
    form->Option4[1]->click();      // Analog: rate back to index 0
    form->Combo1->setCurrentIndex(2);
    PressSetting(*form);
    EXPECT_EQ(form->MSComm1->written(), Bytes({0xB0, 0xA1, 0xE2, 0x73, 0x19, 0x0A, 0xFF}));

    // Pattern bits are sent while the toggles are hidden, the channel while
    // its buttons are hidden.
    form->Option4[0]->click();
    form->Option1[0]->click();
    form->Combo1->setCurrentIndex(7);
    form->Check1[0]->setChecked(false);
    form->VScroll2->setValue(255);
    PressSetting(*form);
    EXPECT_EQ(form->MSComm1->written(), Bytes({0xB0, 0x71, 0xE2, 0x63, 0x09, 0x0A, 0x00}));
}

// ------------------------------------------------------------------ settings read back

TEST(SettingsReadBack, ReplyThatSwitchesTheModeKeepsTheReportedRate)
{
    auto form = MakeDetachedForm();
    form->state.PendingCommand = QStringLiteral("setread");
    form->state.ReplyPos = 0;
    Receive(*form, Bytes({0x02, 0x30, 0x32, 0x53, 0x19, 0x80, 0x03}));
    EXPECT_TRUE(form->state.PendingCommand.isEmpty());
    EXPECT_TRUE(form->isAnalogMode());
    EXPECT_EQ(Entries(form->Combo1), kAnalogRates);
    EXPECT_EQ(form->Combo1->currentIndex(), 3);
    EXPECT_EQ(form->Combo1->currentText(), "2KHz");
    EXPECT_EQ(form->state.SamplePeriodUs, 500.0f);
    EXPECT_EQ(form->Option1[0]->text(), "Trigger");
    EXPECT_TRUE(form->Option1[0]->isChecked());
    EXPECT_EQ(form->VScroll2->value(), 127);
    EXPECT_FALSE(AnyOfRunReadSaveEnabled(*form));

    // And back: a Logic reply with rate 6 ends with "200KHz".
    form->state.PendingCommand = QStringLiteral("setread");
    form->state.ReplyPos = 0;
    Receive(*form, Bytes({0x02, 0xE1, 0x32, 0x53, 0x09, 0x80, 0x03}));
    EXPECT_TRUE(form->isLogicMode());
    EXPECT_EQ(form->Combo1->currentText(), "200KHz");
    EXPECT_EQ(form->state.SamplePeriodUs, 5.0f);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    EXPECT_EQ(form->Option1[1]->text(), "Pattern");
    EXPECT_FALSE(form->Check1[0]->isHidden());
}

} // namespace
