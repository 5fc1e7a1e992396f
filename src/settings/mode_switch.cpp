// The mode switch: Logic analyzer or oscilloscope.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/form1.h"
#include "device/wire_protocol.h"
#include "settings/rate_table.h"

void Form1::Option4_Click(int /*index*/)
{
    // The capture's layout depends on the mode: it is gone for display and
    // saving before anything else happens.
    state.LastSampleIndex = -1;
    const bool logic = isLogicMode();
    if (logic) {
        setWindowTitle(QStringLiteral("Logic Analyzer"));
        setSliderMaximum(wire::LOGIC_MAX_LENGTH);
        fillList(Combo1, rates::logicEntries());
        for (int i = 0; i < 4; ++i) {
            Option3[i]->setEnabled(true);
            Check1[i]->setEnabled(true);
        }
        Option1[0]->setText(QStringLiteral("level"));
        Option1[1]->setText(QStringLiteral("Pattern"));
        Combo2->setEnabled(false);
    } else {
        setWindowTitle(QStringLiteral("Logic Analyzer & OscilloScope"));
        // Position first, so the slider never holds one above its maximum.
        if (Slider1->value() > wire::ANALOG_MAX_LENGTH)
            setSliderValue(wire::ANALOG_MAX_LENGTH);
        setSliderMaximum(wire::ANALOG_MAX_LENGTH);
        fillList(Combo1, rates::analogEntries());
        if (state.XRefSample > Slider1->maximum())
            state.XRefSample = Slider1->maximum();
        if (state.XAxisSample > Slider1->maximum())
            state.XAxisSample = Slider1->maximum();
        for (int i = 0; i < 4; ++i) {
            Option3[i]->setEnabled(false);
            Check1[i]->setEnabled(false);
        }
        Option1[0]->setText(QStringLiteral("Trigger"));
        Option1[1]->setText(QStringLiteral("FreeRun"));
        Label4->setText(voltageReadout());
        Combo2->setEnabled(true);
    }
    VScroll1_Change();
    setListIndex(Combo1, 0); // runs Combo1_Click for the new list
    disableRunReadSave();
    focusPicture();
    emit captureChanged();
}
