// Start-up: the shared state before and after Form_Load, the texts that the
// start-up cascade of handlers leaves in the window, and a serial port that
// cannot be opened.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <cctype>
#include <ostream>
#include <string>

#include "app/error_report.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "device/serial_port.h"

namespace {

class StartUp : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Form1::endProgram = [](int) {}; }
    Form1 form{PortChoice{PortChoice::Detached, {}}};
};

TEST(AppStateBeforeLoad, NumbersZeroStringsAndArraysEmpty)
{
    const AppState s;
    EXPECT_TRUE(s.RxBytes.isEmpty());
    EXPECT_FALSE(s.RxRaw.isValid());
    EXPECT_TRUE(s.PendingCommand.isEmpty());
    EXPECT_EQ(s.ReplyPos, 0);
    EXPECT_EQ(s.RxWord, 0);
    EXPECT_EQ(s.Magnification, 0.0f);
    EXPECT_EQ(s.SamplePeriodUs, 0.0f);
    EXPECT_EQ(s.XRefSample, 0);
    EXPECT_EQ(s.XAxisSample, 0);
    EXPECT_EQ(s.VoltageScale, 0.0f);
    EXPECT_TRUE(s.SampleData.isEmpty());
    EXPECT_EQ(s.SampleData.upperBound(), -1);
    EXPECT_EQ(s.LastSampleIndex, 0);
    EXPECT_TRUE(s.DragTarget.isEmpty());
}

TEST_F(StartUp, WindowStateIsUntouchedUntilLoad)
{
    EXPECT_EQ(form.state.Magnification, 0.0f);
    EXPECT_EQ(form.state.XRefSample, 0);
    EXPECT_EQ(form.state.LastSampleIndex, 0);
    EXPECT_FALSE(form.MSComm1->isOpen());
    EXPECT_TRUE(form.CommonDialog1.InitDir.isEmpty());
}

TEST_F(StartUp, SharedStateAfterLoad)
{
    form.state.PendingCommand = QStringLiteral("run"); // whatever was there is reset
    form.Form_Load();
    const AppState &s = form.state;
    EXPECT_EQ(s.Magnification, 1.0f);
    EXPECT_EQ(s.SamplePeriodUs, 0.05f);
    EXPECT_EQ(s.VoltageScale, 1.0f);
    EXPECT_EQ(s.XRefSample, 50);
    EXPECT_EQ(s.XAxisSample, 100);
    EXPECT_EQ(s.LastSampleIndex, -1);
    EXPECT_TRUE(s.SampleData.isEmpty());
    EXPECT_TRUE(s.PendingCommand.isEmpty());
    EXPECT_TRUE(s.DragTarget.isEmpty());
    EXPECT_TRUE(s.RxBytes.isEmpty());
    EXPECT_EQ(s.ReplyPos, 0);
    EXPECT_EQ(s.RxWord, 0);
}

struct TextCase {
    const char *name;
    const char *text;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class StartUpTexts : public StartUp, public ::testing::WithParamInterface<TextCase> {};

TEST_P(StartUpTexts, AfterLoad)
{
    form.Form_Load();
    const TextCase &c = GetParam();
    QWidget *w = form.findChild<QWidget *>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr) << c.name;
    QString text;
    if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text();
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        text = e->text();
    else if (auto *b = qobject_cast<QComboBox *>(w))
        text = b->currentText();
    EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StartUpTexts,
    ::testing::Values(TextCase{"Label1", "Mag ×1"}, TextCase{"Label6", "0"},
                      TextCase{"Label2", "2.5us    400kHz"}, TextCase{"Label4", "2.5V"},
                      TextCase{"Label7", "2.51V"}, TextCase{"Label3(1)", "Measurement Time   Max 1.638ms"},
                      TextCase{"Text1", "1.638ms"}, TextCase{"Combo1", "20MHz"}, TextCase{"Combo2", "   ×1"}),
    [](const auto &info) {
        std::string s;
        for (const char *p = info.param.name; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p)))
                s += *p;
        return s;
    });

TEST_F(StartUp, ControlsAfterLoad)
{
    form.Form_Load();
    EXPECT_EQ(form.Combo1->currentIndex(), 0);
    EXPECT_EQ(form.Combo2->currentIndex(), 1);
    EXPECT_FALSE(form.Combo2->isEnabled()); // Logic mode
    EXPECT_EQ(form.VScroll1->value(), 3);
    EXPECT_EQ(form.HScroll1->value(), 0);
    EXPECT_EQ(form.HScroll1->minimum(), 0);
    EXPECT_EQ(form.HScroll1->maximum(), 32077);
    EXPECT_EQ(form.HScroll1->pageStep(), 100);
    EXPECT_EQ(form.HScroll1->singleStep(), 10);
    EXPECT_EQ(form.Slider1->maximum(), 32767);
    EXPECT_EQ(form.Slider1->value(), 32767);
    EXPECT_EQ(form.VScroll2->value(), 127);
    EXPECT_TRUE(form.Option4[0]->isChecked());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Logic Analyzer"));
    EXPECT_TRUE(form.Label5->isHidden());
    // Cursor lines where the design put them, both visible in the view from 0.
    EXPECT_TRUE(form.Picture1->line(PictureBox::Line1).visible);
    EXPECT_EQ(form.Picture1->line(PictureBox::Line1).x1, 90.0f);
    EXPECT_TRUE(form.Picture1->line(PictureBox::Line2).visible);
    EXPECT_EQ(form.Picture1->line(PictureBox::Line2).x1, 140.0f);
    // Nothing to draw: the store is empty.
    EXPECT_EQ(form.Picture1->drawnLineCount(), 0u);
}

TEST_F(StartUp, RunDataReadSaveDisabledOthersEnabled)
{
    form.Form_Load();
    EXPECT_FALSE(form.Command1[1]->isEnabled());
    EXPECT_FALSE(form.Command1[2]->isEnabled());
    EXPECT_FALSE(form.Command2[1]->isEnabled()); // enabled in the design, disabled by start-up
    EXPECT_TRUE(form.Command1[0]->isEnabled());
    EXPECT_TRUE(form.Command1[3]->isEnabled());
    EXPECT_TRUE(form.Command2[0]->isEnabled());
    EXPECT_EQ(form.Command1[1]->text(), QStringLiteral("Run"));
}

TEST_F(StartUp, PortOpenedNothingSentWindowNotShown)
{
    form.Form_Load();
    EXPECT_TRUE(form.MSComm1->isOpen());
    EXPECT_TRUE(form.MSComm1->written().isEmpty());
    EXPECT_FALSE(form.isVisible()); // the caller shows it
}

TEST_F(StartUp, FileDialogStartsInTheCurrentDirectory)
{
    const QString before = QDir::currentPath();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    form.Form_Load();
    const QString current = QDir::currentPath();
    QDir::setCurrent(before);
    EXPECT_EQ(form.CommonDialog1.InitDir, QDir::toNativeSeparators(current) + QDir::separator());
    EXPECT_TRUE(form.CommonDialog1.FileName.isEmpty());
}

TEST(StartUpWithoutPort, MissingDeviceEndsStartUpNamingIt)
{
    Form1::endProgram = [](int) {};
    const QString device = QStringLiteral("/dev/does-not-exist");
    Form1 f(PortChoice{PortChoice::Device, device});
    try {
        f.Form_Load();
        FAIL() << "Form_Load returned although the port cannot be opened";
    } catch (const FatalError &e) {
        EXPECT_TRUE(QString::fromLocal8Bit(e.what()).contains(device)) << e.what();
    }
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(f.MSComm1->isOpen());
    // The steps before the port ran, as they do in the program.
    EXPECT_EQ(f.state.SamplePeriodUs, 0.05f);
    EXPECT_TRUE(f.CommonDialog1.InitDir.isEmpty()) << "the step after the port must not run";
}

TEST(StartUpWithoutPort, ADeviceThatIsNotASerialPortFailsToo)
{
    Form1::endProgram = [](int) {};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath(QStringLiteral("ttyNone"));
    Form1 f(PortChoice{PortChoice::Device, device});
    EXPECT_THROW(f.Form_Load(), FatalError);
    EXPECT_FALSE(f.MSComm1->isOpen());
}

} // namespace
