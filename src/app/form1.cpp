// The window: construction, start-up, shut-down and the control operations
// that every handler uses.
#include "app/form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <cstdio>
#include <cstdlib>

#include "app/error_report.h"
#include "app/picture_box.h"
#include "device/serial_port.h"
#include "display/readouts.h"

std::function<void(int)> Form1::endProgram = [](int code) {
    std::fflush(nullptr);
    std::_Exit(code);
};

Form1::Form1(const PortChoice &port, QWidget *parent) : QWidget(parent), portChoice_(port)
{
    buildControls();
    connectHandlers();
    showFileDialog = [this](CommonDialog &d, bool save) { return ShowQtFileDialog(this, d, save); };
}

Form1::~Form1() = default;

void Form1::connectHandlers()
{
    // Option buttons: the handler runs when a button becomes selected, by a
    // click or by code; selecting the selected one again runs nothing.
    connect(Option1Group, &QButtonGroup::idToggled, this, [this](int id, bool on) { if (on) Option1_Click(id); });
    connect(Option2Group, &QButtonGroup::idToggled, this, [this](int id, bool on) { if (on) Option2_Click(id); });
    connect(Option3Group, &QButtonGroup::idToggled, this, [this](int id, bool on) { if (on) Option3_Click(id); });
    connect(Option4Group, &QButtonGroup::idToggled, this, [this](int id, bool on) { if (on) Option4_Click(id); });
    for (int i = 0; i < 4; ++i)
        connect(Check1[i], &QPushButton::toggled, this, [this, i] { Check1_Click(i); });
    for (int i = 0; i < 4; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    // Lists: only a real change of the index runs the handler.
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
    connect(Combo2, &QComboBox::currentIndexChanged, this, [this] { Combo2_Click(); });
    // Scroll bars report completed changes only: a dragged thumb once, on release.
    for (QScrollBar *s : {HScroll1, VScroll1, VScroll2})
        s->setTracking(false);
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(VScroll2, &QScrollBar::valueChanged, this, [this] { VScroll2_Change(); });
    // The slider's handler runs for the user's moves only; every change made by
    // code goes through setSliderValue/setSliderMaximum, which block it.
    connect(Slider1, &QSlider::valueChanged, this, [this] { Slider1_Scroll(); });

    Picture1->onMouseDown = [this](int b, int s, float x, float y) { Picture1_MouseDown(b, s, x, y); };
    Picture1->onMouseMove = [this](int b, int s, float x, float y) { Picture1_MouseMove(b, s, x, y); };
    Picture1->onMouseUp = [this](int b, int s, float x, float y) { Picture1_MouseUp(b, s, x, y); };

    connect(MSComm1, &SerialPortService::OnComm, this, [this] { MSComm1_OnComm(); });
    connect(MSComm1, &SerialPortService::deviceFailed, this,
            [this](const QString &text) { handleDeviceFailure(text); });
}

// ---------------------------------------------------------------- start-up

void Form1::Form_Load()
{
    state.PendingCommand.clear();
    state.XRefSample = 50;
    state.XAxisSample = 100;
    state.LastSampleIndex = -1;

    VScroll1_Change();
    setListIndex(Combo2, 1);
    setListIndex(Combo1, 0);

    if (portChoice_.kind == PortChoice::Detached) {
        MSComm1->openDetached();
    } else {
        const QString device = portChoice_.deviceName.isEmpty() ? SerialPortService::defaultPortName()
                                                                : portChoice_.deviceName;
        QString error;
        if (!MSComm1->open(device, &error))
            throw FatalError(QStringLiteral("The serial port %1 cannot be opened: %2").arg(device, error));
    }

    CommonDialog1.InitDir = QDir::toNativeSeparators(QDir::currentPath());
    if (!CommonDialog1.InitDir.endsWith(QDir::separator()))
        CommonDialog1.InitDir += QDir::separator();
}

// ---------------------------------------------------------------- shut-down

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_QueryUnload();
}

void Form1::Form_QueryUnload()
{
    // Errors are ignored from here on; the program ends at once, abandoning
    // any wait that is still on the call stack without sending anything.
    try {
        MSComm1->close();
    } catch (...) {
    }
    endProgram(0);
}

// ---------------------------------------------------------------- control operations

bool Form1::isLogicMode() const { return Option4[0]->isChecked(); }

bool Form1::isOptionSelected(QPushButton *option) const { return option->isChecked(); }

void Form1::selectOption(QPushButton *option)
{
    if (!option->isChecked())
        option->setChecked(true); // the group's toggled signal runs the click handler, nested
}

int Form1::checkValue(int index) const { return Check1[index]->isChecked() ? 1 : 0; }

void Form1::setCheckValue(int index, int value)
{
    const bool on = value != 0;
    if (Check1[index]->isChecked() != on)
        Check1[index]->setChecked(on); // runs Check1_Click, nested
}

bool Form1::setListIndex(QComboBox *list, int index)
{
    if (index < -1 || index >= list->count())
        return false;
    list->setCurrentIndex(index); // runs the handler only when the index changes
    return true;
}

void Form1::fillList(QComboBox *list, const QStringList &entries)
{
    // Qt selects the first item added to an empty list and reports clear() as a
    // change to -1; the lists here have no selection until code selects one.
    const QSignalBlocker block(list);
    list->clear();
    list->addItems(entries);
    list->setCurrentIndex(-1);
}

void Form1::setSliderValue(int value)
{
    const QSignalBlocker block(Slider1);
    Slider1->setValue(value);
}

void Form1::setSliderMaximum(int maximum)
{
    const QSignalBlocker block(Slider1);
    Slider1->setMaximum(maximum);
}

void Form1::disableRunReadSave()
{
    Command1[1]->setEnabled(false);
    Command1[2]->setEnabled(false);
    Command2[1]->setEnabled(false);
}

bool Form1::focusPicture()
{
    if (!Picture1->isVisible())
        return false;
    Picture1->setFocus(Qt::OtherFocusReason);
    return true;
}

void Form1::pumpEvents() { QCoreApplication::processEvents(); }

QString Form1::UpdateReadouts(int32_t count, bool withFrequency) const
{
    return UpdateReadoutsText(state.SamplePeriodUs, count, withFrequency);
}

QString Form1::voltageReadout() const
{
    return VoltageText(Picture1->line(PictureBox::Line4).y1, Picture1->line(PictureBox::Line5).y1,
                       state.VoltageScale);
}
