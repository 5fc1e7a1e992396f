// Sample rate and measurement length: the rate list and the slider.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "app/form1.h"
#include "app/picture_box.h"
#include "settings/rate_table.h"

void Form1::Combo1_Click()
{
    const bool analog = !isLogicMode();
    float period = 0;
    if (rates::periodUs(analog, Combo1->currentIndex(), &period))
        state.SamplePeriodUs = period;
    Slider1_Scroll();
    Label3[1]->setText(QStringLiteral("Measurement Time   Max ") + UpdateReadouts(Slider1->maximum(), false));
    Label2->setText(UpdateReadouts(state.XAxisSample - state.XRefSample, true));
    // The capture stays in memory; it comes back with the new time scale at
    // the next redraw.
    Picture1->clearDrawing();
    disableRunReadSave();
    focusPicture(); // fails while the window is not shown yet: ignored
    emit captureChanged();
}

void Form1::Slider1_Scroll()
{
    Text1->setText(UpdateReadouts(Slider1->value(), false));
    disableRunReadSave();
}
