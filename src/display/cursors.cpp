// The four measuring cursors, dragged with the mouse over the drawing area.
#include <QLabel>
#include <QScrollBar>

#include "app/form1.h"
#include "app/picture_box.h"
#include "display/magnification.h"

void Form1::Picture1_MouseDown(int button, int shift, float x, float y)
{
    // A press anywhere in a band takes that band's cursor for the button.
    const bool timeBand = y >= 3 && y <= 290;
    const bool voltageBand = y >= 300 && y <= 440;
    if (button == 1 && shift == 0 && timeBand)
        state.DragTarget = QStringLiteral("X_Axis");
    else if (button == 2 && shift == 0 && timeBand)
        state.DragTarget = QStringLiteral("X_Ref");
    else if (button == 1 && shift == 0 && voltageBand)
        state.DragTarget = QStringLiteral("Y_Axis");
    else if (button == 2 && shift == 0 && voltageBand)
        state.DragTarget = QStringLiteral("Y_Ref");
    else {
        state.DragTarget = QStringLiteral("NON");
        return;
    }
    Picture1_MouseMove(button, shift, x, y); // the cursor jumps to the pointer
}

void Form1::Picture1_MouseMove(int /*button*/, int /*shift*/, float x, float y)
{
    const QString &t = state.DragTarget;
    const bool inField = x >= 40 && x <= 740;
    if ((t == QLatin1String("X_Ref") || t == QLatin1String("X_Axis")) && inField) {
        const bool ref = t == QLatin1String("X_Ref");
        LineObject &l = Picture1->line(ref ? PictureBox::Line1 : PictureBox::Line2);
        l.x1 = l.x2 = x;
        l.visible = true;
        Picture1->lineObjectsChanged();
        const int32_t sample = CursorSampleFromX(x, state.Magnification, HScroll1->value());
        (ref ? state.XRefSample : state.XAxisSample) = sample;
        Label2->setText(UpdateReadouts(state.XAxisSample - state.XRefSample, true));
        emit timeCursorsMoved();
    } else if ((t == QLatin1String("Y_Ref") || t == QLatin1String("Y_Axis")) && inField && y >= 300
               && y <= 440) {
        LineObject &l = Picture1->line(t == QLatin1String("Y_Ref") ? PictureBox::Line4 : PictureBox::Line5);
        l.y1 = l.y2 = y;
        Picture1->lineObjectsChanged();
        Label4->setText(voltageReadout());
    }
}

void Form1::Picture1_MouseUp(int, int, float, float) { state.DragTarget = QStringLiteral("NON"); }
