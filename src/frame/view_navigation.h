#pragma once

#include <QHash>
#include <QObject>
#include <QPointF>
#include <cstdint>
#include <functional>

class Form1;
class QWheelEvent;
class QWidget;
class QKeyEvent;

// View start that keeps the sample that lay under the pointer (at field
// offset `fieldX` pixels, with the old view start and magnification) under
// the pointer at the new magnification, inside 0..maximum.
int ViewStartKeepingSample(int oldStart, float oldMagnification, double fieldX, float newMagnification,
                           int maximum);

// View start that puts the end of a capture of `sampleCount` periods where
// the largest view start puts the last possible one (690 pixels into the
// field), inside 0..maximum.
int ViewStartShowingEnd(int32_t sampleCount, float magnification, int maximum);

// View start that puts samples first..last in the middle of the field,
// inside 0..maximum.
int ViewStartCentringSpan(int64_t first, int64_t last, float magnification, int maximum);

// Wheel and keys on the drawing area, and the view commands of the menu.
// Everything goes through what the user could operate: the arrows, track and
// ends of HScroll1 and the arrows of the magnification bar VScroll1, so the
// window's own handlers draw the view and set the readouts.
//
// The keys belong to the drawing area only: they are taken from Picture1's
// key events while it has the focus, so the slider and the scroll bars keep
// their own keys.
class ViewNavigator : public QObject {
    Q_OBJECT
public:
    explicit ViewNavigator(Form1 &form, QObject *parent = nullptr);

    void zoomIn();
    void zoomOut();
    void goToStart();
    void goToEnd();
    // Scrolls by `steps` arrow steps of HScroll1 (negative: earlier).
    void scrollSteps(int steps);
    // One magnification step in (steps < 0) or out, keeping the sample under
    // the drawing area's x where the scroll range allows.
    void zoomAt(int steps, double pictureX);
    // Shows samples first..last: zooms out while they do not fit in the
    // field, centres them, then puts the reference time cursor on `first`
    // and the measuring one on `last` with the right and left mouse buttons
    // on the drawing area, so the readout gives the span's duration.
    void showSpan(int64_t first, int64_t last);
    // Puts `sample` in the middle of the field, as far as the scroll range allows.
    void centreOn(int64_t sample);
    // Sets the view start, kept inside the scroll range.
    void setViewStart(int start);
    // Moves the magnification bar with its arrows to `step` (0 = "Mag ×10"
    // .. 6 = "Mag 1/10").
    void setMagnificationStep(int step);
    // Puts the reference (right button) or measuring (left button) time
    // cursor on `sample` by a click on the drawing area, scrolling it into
    // view first. Exact at "Mag ×1" and above; false when the sample cannot
    // be reached.
    bool placeTimeCursor(bool reference, int32_t sample);
    // Puts a voltage cursor at drawing-area height y (300..440) by a click.
    void placeVoltageCursor(bool reference, float y);
    // The wheel over `area` acts as over the traces; `pictureXAt` says where
    // on the drawing area the pointer's time lies, for Ctrl+wheel's zoom.
    void addWheelArea(QWidget *area, std::function<double(const QPointF &)> pictureXAt);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool wheel(QWheelEvent *e, double pictureX);
    bool key(QKeyEvent *e);

    Form1 &form_;
    // The drawing area, compared by address only: its events still pass the
    // filter while the window around it is being destroyed.
    const QObject *picture_;
    int wheelRemainder_ = 0; // angle delta not yet worth a whole notch
    QHash<const QObject *, std::function<double(const QPointF &)>> wheelAreas_;
};
