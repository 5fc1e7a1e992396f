// Which control changes run which handlers: changes made by code run the
// handler at once, nested, when the state really changes; the slider's code
// changes and a dragged scroll-bar thumb do not report.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <ostream>
#include <string>

#include "app/form1.h"

namespace {

// Counts how often a button is disabled and enables it again at once, so that
// every run of a settings handler (each ends by disabling "Run") leaves one
// mark, even several runs within one call.
class DisableCounter : public QObject {
public:
    explicit DisableCounter(QPushButton *button) : button_(button)
    {
        button_->setEnabled(true);
        button_->installEventFilter(this);
    }
    ~DisableCounter() override { button_->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == button_ && event->type() == QEvent::EnabledChange && !button_->isEnabled()) {
            ++count;
            button_->setEnabled(true);
        }
        return false;
    }

private:
    QPushButton *button_;
};

const QString kPoison = QStringLiteral("untouched");

class ChangeNotifications : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Form1::endProgram = [](int) {}; }
    void SetUp() override { form.Form_Load(); }

    QStringList option3Captions() const
    {
        QStringList s;
        for (auto *b : form.Option3)
            s << b->text();
        return s;
    }

    Form1 form{PortChoice{PortChoice::Detached, {}}};
};

// ---------------------------------------------------------------- option buttons

struct OptionCase {
    const char *name;
    int index;
};

void PrintTo(const OptionCase &c, std::ostream *os) { *os << c.name; }

class OptionByCode : public ChangeNotifications, public ::testing::WithParamInterface<OptionCase> {
protected:
    QPushButton *button() { return form.findChild<QPushButton *>(QString::fromLatin1(GetParam().name)); }
};

TEST_P(OptionByCode, SelectOptionRunsTheHandlerOnce)
{
    QPushButton *b = button();
    ASSERT_NE(b, nullptr);
    ASSERT_FALSE(b->isChecked());
    DisableCounter runs(form.Command1[1]);
    form.selectOption(b);
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(runs.count, 1);
}

TEST_P(OptionByCode, SetCheckedRunsTheHandlerOnce)
{
    QPushButton *b = button();
    ASSERT_NE(b, nullptr);
    DisableCounter runs(form.Command1[1]);
    b->setChecked(true);
    EXPECT_EQ(runs.count, 1);
}

TEST_P(OptionByCode, UserClickRunsTheHandlerOnce)
{
    QPushButton *b = button();
    ASSERT_NE(b, nullptr);
    DisableCounter runs(form.Command1[1]);
    b->click();
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(runs.count, 1);
}

TEST_P(OptionByCode, TheSelectedOptionAgainRunsNothing)
{
    QPushButton *b = button();
    ASSERT_NE(b, nullptr);
    form.selectOption(b);
    DisableCounter runs(form.Command1[1]);
    form.selectOption(b);
    b->setChecked(true);
    b->click();
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(runs.count, 0);
}

INSTANTIATE_TEST_SUITE_P(Options, OptionByCode,
                         ::testing::Values(OptionCase{"Option1(1)", 1}, OptionCase{"Option2(0)", 0},
                                           OptionCase{"Option2(3)", 3}, OptionCase{"Option3(2)", 2},
                                           OptionCase{"Option3(3)", 3}),
                         [](const auto &info) {
                             std::string s = info.param.name;
                             return s.substr(0, 7) + "_" + std::to_string(info.param.index);
                         });

TEST_F(ChangeNotifications, ChannelOptionHandlerEffectIsVisibleRightAfterTheCall)
{
    form.selectOption(form.Option3[2]);
    EXPECT_EQ(option3Captions(), (QStringList{"N/A", "N/A", "Trigger", "N/A"}));
    form.Option3[1]->setChecked(true);
    EXPECT_EQ(option3Captions(), (QStringList{"N/A", "Trigger", "N/A", "N/A"}));
}

TEST_F(ChangeNotifications, ChannelOptionAlreadySelectedLeavesCaptions)
{
    for (auto *b : form.Option3)
        b->setText(kPoison);
    form.selectOption(form.Option3[0]);
    form.Option3[0]->setChecked(true);
    form.Option3[0]->click();
    EXPECT_EQ(option3Captions(), (QStringList{kPoison, kPoison, kPoison, kPoison}));
}

TEST_F(ChangeNotifications, TriggerKindOptionSwapsTheChannelControls)
{
    form.selectOption(form.Option1[1]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(form.Check1[i]->isHidden()) << i;
        EXPECT_TRUE(form.Option3[i]->isHidden()) << i;
    }
    form.Option1[0]->setChecked(true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(form.Check1[i]->isHidden()) << i;
        EXPECT_FALSE(form.Option3[i]->isHidden()) << i;
    }
}

TEST_F(ChangeNotifications, ModeOptionByCodeRunsTheModeSwitchAndItsRateSelection)
{
    form.Text1->setText(kPoison);
    form.selectOption(form.Option4[1]);
    // Option4_Click ran, nested: it refilled the rate list and its selection of
    // entry 0 ran Combo1_Click for the new list.
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Logic Analyzer & OscilloScope"));
    EXPECT_EQ(form.Combo1->currentIndex(), 0);
    EXPECT_EQ(form.Combo1->itemText(0), QStringLiteral("20KHz"));
    EXPECT_EQ(form.state.SamplePeriodUs, 50.0f);
    EXPECT_NE(form.Text1->text(), kPoison);

    // The selected mode again: nothing runs.
    form.setWindowTitle(kPoison);
    form.Text1->setText(kPoison);
    form.selectOption(form.Option4[1]);
    EXPECT_EQ(form.windowTitle(), kPoison);
    EXPECT_EQ(form.Text1->text(), kPoison);
}

// ---------------------------------------------------------------- check boxes

TEST_F(ChangeNotifications, CheckBoxSetToADifferentStateRunsItsHandler)
{
    DisableCounter runs(form.Command1[1]);
    form.setCheckValue(1, 1);
    EXPECT_TRUE(form.Check1[1]->isChecked());
    EXPECT_EQ(form.Check1[1]->text(), QStringLiteral("1"));
    EXPECT_EQ(runs.count, 1);

    form.setCheckValue(2, 0);
    EXPECT_EQ(form.Check1[2]->text(), QStringLiteral("0"));
    EXPECT_EQ(runs.count, 2);

    form.Check1[3]->setChecked(true);
    EXPECT_EQ(form.Check1[3]->text(), QStringLiteral("1"));
    EXPECT_EQ(runs.count, 3);

    form.Check1[0]->click(); // the user's click
    EXPECT_EQ(form.Check1[0]->text(), QStringLiteral("0"));
    EXPECT_EQ(runs.count, 4);
}

TEST_F(ChangeNotifications, CheckBoxSetToItsOwnStateRunsNothing)
{
    for (auto *b : form.Check1)
        b->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.setCheckValue(0, 1);
    form.setCheckValue(1, 0);
    form.Check1[2]->setChecked(true);
    form.Check1[3]->setChecked(false);
    EXPECT_EQ(runs.count, 0);
    for (auto *b : form.Check1)
        EXPECT_EQ(b->text(), kPoison);
}

// ---------------------------------------------------------------- lists

TEST_F(ChangeNotifications, ListIndexChangedByCodeRunsTheHandler)
{
    form.Text1->setText(kPoison);
    form.Label3[1]->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    EXPECT_TRUE(form.setListIndex(form.Combo1, 3));
    EXPECT_EQ(form.Combo1->currentIndex(), 3);
    EXPECT_EQ(form.state.SamplePeriodUs, 0.5f);
    EXPECT_NE(form.Text1->text(), kPoison);
    EXPECT_TRUE(form.Label3[1]->text().startsWith(QStringLiteral("Measurement Time   Max ")));
    EXPECT_GE(runs.count, 1);

    // A direct change of the list's index is the same change.
    form.Combo1->setCurrentIndex(1);
    EXPECT_EQ(form.state.SamplePeriodUs, 0.1f);
}

TEST_F(ChangeNotifications, ListIndexUnchangedRunsNothing)
{
    form.Text1->setText(kPoison);
    form.Label3[1]->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    EXPECT_TRUE(form.setListIndex(form.Combo1, 0));
    EXPECT_EQ(form.Text1->text(), kPoison);
    EXPECT_EQ(form.Label3[1]->text(), kPoison);
    EXPECT_EQ(runs.count, 0);
}

TEST_F(ChangeNotifications, ListIndexOutOfRangeIsRefused)
{
    form.setListIndex(form.Combo1, 2);
    form.Text1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    for (int bad : {8, 9, 100, -2, -100}) {
        EXPECT_FALSE(form.setListIndex(form.Combo1, bad)) << bad;
        EXPECT_EQ(form.Combo1->currentIndex(), 2) << bad;
    }
    EXPECT_FALSE(form.setListIndex(form.Combo2, 5));
    EXPECT_EQ(form.Combo2->currentIndex(), 1);
    EXPECT_EQ(form.state.SamplePeriodUs, 0.2f);
    EXPECT_EQ(form.state.VoltageScale, 1.0f);
    EXPECT_EQ(form.Text1->text(), kPoison);
    EXPECT_EQ(runs.count, 0);
}

TEST_F(ChangeNotifications, RangeListSelectionRunsItsHandlerOnce)
{
    form.Label7->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    EXPECT_TRUE(form.setListIndex(form.Combo2, 4));
    EXPECT_EQ(form.state.VoltageScale, 10.0f);
    EXPECT_EQ(form.Label7->text(), QStringLiteral("25.1V")); // 128 counts at ×10
    EXPECT_EQ(runs.count, 1);
    EXPECT_TRUE(form.setListIndex(form.Combo2, 4));
    EXPECT_EQ(runs.count, 1);
}

TEST_F(ChangeNotifications, FillListNeverRunsTheHandler)
{
    form.Text1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.fillList(form.Combo1, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    EXPECT_EQ(form.Combo1->count(), 3);
    EXPECT_EQ(form.Combo1->currentIndex(), -1);
    EXPECT_EQ(form.Text1->text(), kPoison);
    EXPECT_EQ(runs.count, 0);

    // An empty list filled from scratch selects nothing either.
    form.fillList(form.Combo1, {});
    form.fillList(form.Combo1, {QStringLiteral("x")});
    EXPECT_EQ(form.Combo1->currentIndex(), -1);
    EXPECT_EQ(runs.count, 0);

    // From "no selection" any selection is a change: the handler runs.
    form.fillList(form.Combo1, {QStringLiteral("20MHz"), QStringLiteral("10MHz")});
    EXPECT_TRUE(form.setListIndex(form.Combo1, 0));
    EXPECT_NE(form.Text1->text(), kPoison);
    EXPECT_GE(runs.count, 1);
}

// ---------------------------------------------------------------- scroll bars

TEST_F(ChangeNotifications, ScrollBarValueChangedByCodeRunsTheHandler)
{
    form.HScroll1->setValue(20000);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("20000"));

    DisableCounter runs(form.Command1[1]);
    form.VScroll2->setValue(0);
    EXPECT_EQ(form.Label7->text(), QStringLiteral("5V"));
    EXPECT_EQ(runs.count, 1);

    form.VScroll1->setValue(1);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Mag ×5"));
    EXPECT_EQ(form.state.Magnification, 5.0f);
}

TEST_F(ChangeNotifications, ScrollBarSetToItsOwnValueRunsNothing)
{
    form.HScroll1->setValue(300);
    form.Label6->setText(kPoison);
    form.Label7->setText(kPoison);
    form.Label1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.HScroll1->setValue(300);
    form.VScroll2->setValue(127);
    form.VScroll1->setValue(3);
    EXPECT_EQ(form.Label6->text(), kPoison);
    EXPECT_EQ(form.Label7->text(), kPoison);
    EXPECT_EQ(form.Label1->text(), kPoison);
    EXPECT_EQ(runs.count, 0);
}

TEST_F(ChangeNotifications, MaximumThatCutsTheValueRunsTheHandler)
{
    form.HScroll1->setValue(20000);
    form.HScroll1->setMaximum(10000);
    EXPECT_EQ(form.HScroll1->value(), 10000);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("10000"));

    DisableCounter runs(form.Command1[1]);
    form.VScroll2->setMaximum(100); // 127 cut to 100: 155 counts
    EXPECT_EQ(form.Label7->text(), QStringLiteral("3.04V"));
    EXPECT_EQ(runs.count, 1);

    // A maximum that leaves the value alone reports nothing.
    form.Label6->setText(kPoison);
    form.HScroll1->setMaximum(12000);
    EXPECT_EQ(form.Label6->text(), kPoison);
}

TEST_F(ChangeNotifications, ScrollBarsReportADraggedThumbOnceOnRelease)
{
    for (QScrollBar *s : {form.HScroll1, form.VScroll1, form.VScroll2})
        EXPECT_FALSE(s->hasTracking()) << s->objectName().toStdString();

    form.Label7->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.VScroll2->setSliderDown(true);
    form.VScroll2->setSliderPosition(180);
    form.VScroll2->setSliderPosition(200);
    EXPECT_EQ(form.Label7->text(), kPoison);
    EXPECT_EQ(form.VScroll2->value(), 127);
    EXPECT_EQ(runs.count, 0);
    form.VScroll2->setSliderDown(false);
    EXPECT_EQ(form.VScroll2->value(), 200);
    EXPECT_EQ(form.Label7->text(), QStringLiteral("1.08V")); // 55 counts
    EXPECT_EQ(runs.count, 1);

    form.Label6->setText(kPoison);
    form.HScroll1->setSliderDown(true);
    form.HScroll1->setSliderPosition(5000);
    EXPECT_EQ(form.Label6->text(), kPoison);
    form.HScroll1->setSliderDown(false);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("5000"));
}

TEST_F(ChangeNotifications, ScrollBarUserStepRunsTheHandler)
{
    form.Label6->setText(kPoison);
    form.HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("10")); // small step at "Mag ×1"
    form.HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("110"));
}

// ---------------------------------------------------------------- slider

TEST_F(ChangeNotifications, SliderSetByCodeDoesNotRunItsHandler)
{
    form.Text1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.setSliderValue(1000);
    EXPECT_EQ(form.Slider1->value(), 1000);
    form.setSliderMaximum(500); // cuts the position too
    EXPECT_EQ(form.Slider1->maximum(), 500);
    EXPECT_EQ(form.Slider1->value(), 500);
    form.setSliderMaximum(32767);
    EXPECT_EQ(form.Text1->text(), kPoison);
    EXPECT_EQ(runs.count, 0);
    EXPECT_TRUE(form.Command1[1]->isEnabled());
}

TEST_F(ChangeNotifications, SliderMovedByTheUserRunsItsHandler)
{
    form.Text1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    form.Slider1->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(form.Slider1->value(), 32766);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("1.638ms")); // 32766 × 0.05 us
    EXPECT_EQ(runs.count, 1);
}

TEST_F(ChangeNotifications, SliderKeyPressRunsItsHandler)
{
    form.setSliderValue(100);
    form.Text1->setText(kPoison);
    DisableCounter runs(form.Command1[1]);
    QTest::keyClick(form.Slider1, Qt::Key_Left);
    EXPECT_EQ(form.Slider1->value(), 99);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("4.95us"));
    EXPECT_EQ(runs.count, 1);
}

TEST_F(ChangeNotifications, SliderDraggedByTheUserReportsWhileMoving)
{
    form.Text1->setText(kPoison);
    form.Slider1->setSliderDown(true);
    form.Slider1->setSliderPosition(100);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("5us"));
    form.Slider1->setSliderPosition(200);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("10us"));
    form.Slider1->setSliderDown(false);
    EXPECT_EQ(form.Slider1->value(), 200);
}

// ---------------------------------------------------------------- nesting

TEST_F(ChangeNotifications, HandlerSetOffByAHandlerRunsNestedBeforeItContinues)
{
    // VScroll1_Change sets HScroll1's maximum and value and redraws last: the
    // value change at "Mag ×2" (view start 25 to hold Line1 at x = 90) has been
    // shown by the time the call returns.
    form.VScroll1->setValue(2);
    EXPECT_EQ(form.HScroll1->value(), 25);
    EXPECT_EQ(form.Label6->text(), QStringLiteral("25"));
    // Combo2_Click runs the level change, which is visible after the selection.
    form.Label7->setText(kPoison);
    form.setListIndex(form.Combo2, 0);
    EXPECT_EQ(form.Label7->text(), QStringLiteral("0.5V"));
}

} // namespace
