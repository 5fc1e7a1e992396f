// Analog range multiplier (Combo2) and trigger level (VScroll2).
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

#include "app/form1.h"
#include "display/readouts.h"

void Form1::Combo2_Click()
{
    static const float scales[5] = {0.2f, 1.0f, 2.0f, 4.0f, 10.0f};
    const int index = Combo2->currentIndex();
    if (index >= 0 && index < 5)
        state.VoltageScale = scales[index];
    Label4->setText(voltageReadout());
    VScroll2_Change();
    emit captureChanged();
}

void Form1::VScroll2_Change()
{
    Label7->setText(TriggerLevelText(VScroll2->value(), state.VoltageScale));
    disableRunReadSave();
}
