#include "frame/view_navigation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/form1.h"
#include "app/picture_box.h"

namespace {
constexpr double kFieldLeft = 40.0; // x of the waveform field's left edge in Picture1
constexpr int kNotch = 120;         // angle delta of one wheel notch
constexpr double kFieldWidth = 700.0; // the waveform field, x = 40..740
constexpr double kTimeBandY = 150.0;  // a y where a press takes a time cursor

// One press and release of `button` on the drawing area at (x, y).
void Click(QWidget *picture, Qt::MouseButton button, double x, double y)
{
    const QPointF local(x, y);
    const QPointF global = picture->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &release);
}
} // namespace

int ViewStartKeepingSample(int oldStart, float oldMagnification, double fieldX, float newMagnification,
                           int maximum)
{
    if (oldMagnification <= 0 || newMagnification <= 0)
        return std::clamp(oldStart, 0, std::max(0, maximum));
    fieldX = std::max(0.0, fieldX);
    const double sample = oldStart + fieldX / double(oldMagnification);
    const double start = std::nearbyint(sample - fieldX / double(newMagnification));
    return int(std::clamp(start, 0.0, double(std::max(0, maximum))));
}

int ViewStartShowingEnd(int32_t sampleCount, float magnification, int maximum)
{
    if (sampleCount <= 0 || magnification <= 0)
        return std::max(0, maximum);
    const double start = std::nearbyint(double(sampleCount - 1) - 690.0 / double(magnification));
    return int(std::clamp(start, 0.0, double(std::max(0, maximum))));
}

int ViewStartCentringSpan(int64_t first, int64_t last, float magnification, int maximum)
{
    if (magnification <= 0)
        return 0;
    const double middle = (double(first) + double(last)) / 2.0;
    const double start = std::nearbyint(middle - kFieldWidth / 2.0 / double(magnification));
    return int(std::clamp(start, 0.0, double(std::max(0, maximum))));
}

ViewNavigator::ViewNavigator(Form1 &form, QObject *parent) : QObject(parent), form_(form), picture_(form.Picture1)
{
    form_.Picture1->installEventFilter(this);
}

void ViewNavigator::zoomIn() { form_.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub); }

void ViewNavigator::zoomOut() { form_.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); }

void ViewNavigator::goToStart() { form_.HScroll1->triggerAction(QAbstractSlider::SliderToMinimum); }

void ViewNavigator::goToEnd()
{
    QScrollBar *h = form_.HScroll1;
    const int32_t count = form_.capture().sampleCount();
    if (count <= 0) {
        h->triggerAction(QAbstractSlider::SliderToMaximum);
        return;
    }
    h->setValue(ViewStartShowingEnd(count, form_.state.Magnification, h->maximum()));
}

void ViewNavigator::scrollSteps(int steps)
{
    if (steps == 0)
        return;
    QScrollBar *h = form_.HScroll1;
    const int64_t target = int64_t(h->value()) + int64_t(steps) * h->singleStep();
    h->setValue(int(std::clamp<int64_t>(target, h->minimum(), h->maximum())));
}

void ViewNavigator::zoomAt(int steps, double pictureX)
{
    QScrollBar *v = form_.VScroll1;
    const int oldStep = v->value();
    const int oldStart = form_.HScroll1->value();
    const float oldMag = form_.state.Magnification;
    v->triggerAction(steps < 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
    if (v->value() == oldStep)
        return; // already at the end of the magnification range
    QScrollBar *h = form_.HScroll1;
    h->setValue(ViewStartKeepingSample(oldStart, oldMag, pictureX - kFieldLeft, form_.state.Magnification,
                                       h->maximum()));
}

void ViewNavigator::showSpan(int64_t first, int64_t last)
{
    if (last < first)
        std::swap(first, last);
    // A little room on both sides so the cursors do not sit on the field's edges.
    const auto fits = [&] { return double(last - first) * double(form_.state.Magnification) <= kFieldWidth - 20.0; };
    QScrollBar *v = form_.VScroll1;
    while (!fits()) {
        const int step = v->value();
        zoomOut();
        if (v->value() == step)
            break; // the widest view; the end may lie beyond it
    }
    QScrollBar *h = form_.HScroll1;
    const double mag = form_.state.Magnification;
    const auto xOf = [&](int64_t sample) { return kFieldLeft + double(sample - h->value()) * mag; };
    if (fits()) {
        h->setValue(ViewStartCentringSpan(first, last, form_.state.Magnification, h->maximum()));
        Click(form_.Picture1, Qt::RightButton, xOf(first), kTimeBandY);
        Click(form_.Picture1, Qt::LeftButton, xOf(last), kTimeBandY);
        return;
    }
    // Longer than the widest view: the reference cursor near the left edge
    // with the start in view, then the view moves on to the end for the
    // measuring cursor near the right edge. The reference keeps its sample.
    const auto clampView = [&](double start) {
        return int(std::clamp(std::nearbyint(start), 0.0, double(std::max(0, h->maximum()))));
    };
    h->setValue(clampView(double(first) - 10.0 / mag));
    Click(form_.Picture1, Qt::RightButton, xOf(first), kTimeBandY);
    h->setValue(clampView(double(last) - (kFieldWidth - 10.0) / mag));
    Click(form_.Picture1, Qt::LeftButton, xOf(last), kTimeBandY);
}

void ViewNavigator::centreOn(int64_t sample)
{
    QScrollBar *h = form_.HScroll1;
    h->setValue(ViewStartCentringSpan(sample, sample, form_.state.Magnification, h->maximum()));
}

void ViewNavigator::setViewStart(int start)
{
    QScrollBar *h = form_.HScroll1;
    h->setValue(std::clamp(start, h->minimum(), h->maximum()));
}

void ViewNavigator::setMagnificationStep(int step)
{
    QScrollBar *v = form_.VScroll1;
    step = std::clamp(step, v->minimum(), v->maximum());
    while (v->value() != step) {
        const int before = v->value();
        v->triggerAction(step < before ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
        if (v->value() == before)
            return;
    }
}

bool ViewNavigator::placeTimeCursor(bool reference, int32_t sample)
{
    QScrollBar *h = form_.HScroll1;
    setViewStart(sample);
    const double x = kFieldLeft + double(sample - h->value()) * double(form_.state.Magnification);
    if (sample < h->value() || x > kFieldLeft + kFieldWidth)
        return false;
    Click(form_.Picture1, reference ? Qt::RightButton : Qt::LeftButton, x, kTimeBandY);
    return true;
}

void ViewNavigator::placeVoltageCursor(bool reference, float y)
{
    Click(form_.Picture1, reference ? Qt::RightButton : Qt::LeftButton, kFieldLeft, y);
}

void ViewNavigator::addWheelArea(QWidget *area, std::function<double(const QPointF &)> pictureXAt)
{
    wheelAreas_.insert(area, std::move(pictureXAt));
    area->installEventFilter(this);
}

bool ViewNavigator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == picture_) {
        if (event->type() == QEvent::Wheel) {
            auto *e = static_cast<QWheelEvent *>(event);
            return wheel(e, e->position().x());
        }
        if (event->type() == QEvent::KeyPress)
            return key(static_cast<QKeyEvent *>(event));
    } else if (event->type() == QEvent::Wheel) {
        const auto area = wheelAreas_.constFind(watched);
        if (area != wheelAreas_.constEnd()) {
            auto *e = static_cast<QWheelEvent *>(event);
            return wheel(e, (*area)(e->position()));
        }
    }
    return QObject::eventFilter(watched, event);
}

bool ViewNavigator::wheel(QWheelEvent *e, double pictureX)
{
    // Shift+wheel arrives as a horizontal delta on some systems.
    const QPoint d = e->angleDelta();
    int delta = d.y() != 0 ? d.y() : d.x();
    if (e->inverted())
        delta = -delta;
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / kNotch;
    wheelRemainder_ -= notches * kNotch;
    if (notches != 0) {
        if (e->modifiers() & Qt::ControlModifier)
            zoomAt(notches > 0 ? -1 : 1, pictureX); // away from the user zooms in
        else
            scrollSteps(-notches * QApplication::wheelScrollLines()); // towards the user: later
    }
    e->accept();
    return true;
}

bool ViewNavigator::key(QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    QScrollBar *h = form_.HScroll1;
    switch (e->key()) {
    case Qt::Key_Left: h->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: h->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: h->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: h->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Home: goToStart(); break;
    case Qt::Key_End: goToEnd(); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomIn(); break;
    case Qt::Key_Minus: zoomOut(); break;
    default: return false;
    }
    e->accept();
    return true;
}
