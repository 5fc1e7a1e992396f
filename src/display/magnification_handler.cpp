// Magnification (VScroll1) and the range of the view-start scroll bar.
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>

#include "app/form1.h"
#include "app/picture_box.h"
#include "display/magnification.h"

void Form1::VScroll1_Change()
{
    const int oldMax = HScroll1->maximum();
    MagnificationStep step;
    if (LookupMagnification(VScroll1->value(), &step)) {
        Label1->setText(step.label);
        state.Magnification = step.magnification;
    }
    const float mag = state.Magnification;
    HScroll1->setMaximum(HScrollMaximumFor(Slider1->maximum(), mag)); // may cut the value: redraws
    HScroll1->setPageStep(HScrollLargeStepFor(mag));
    HScroll1->setSingleStep(HScrollSmallStepFor(mag));
    Label2->setText(UpdateReadouts(state.XAxisSample - state.XRefSample, true));

    const LineObject &line1 = Picture1->line(PictureBox::Line1);
    int start;
    if (line1.visible) {
        // Hold the reference cursor where it stands on the screen.
        const int32_t s = ViewStartHoldingCursor(state.XRefSample, line1.x1, mag);
        start = int(std::min<int32_t>(s, HScroll1->maximum()));
    } else {
        start = ViewStartScaled(HScroll1->value(), HScroll1->maximum(), oldMax);
    }
    HScroll1->setValue(std::clamp(start, 0, HScroll1->maximum()));
    HScroll1_Change();
}
