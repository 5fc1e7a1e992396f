#include "panels/overview_band.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "app/form1.h"
#include "app/picture_box.h"
#include "decode/decode_result.h"
#include "device/wire_protocol.h"

namespace {
constexpr double kTracesLeft = 40.0;   // the traces' field in Picture1: x = 40..740
constexpr double kTracesRight = 740.0;
} // namespace

OverviewBand::OverviewBand(Form1 &form, QWidget *parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("overviewBand"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true); // the hand over the view's rectangle
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &OverviewBand::poll);
    connect(&form_, &Form1::transactionStarted, this, &OverviewBand::transactionStarted);
    connect(&form_, &Form1::transactionEnded, this, &OverviewBand::transactionEnded);
    connect(&form_, &Form1::captureChanged, this, &OverviewBand::rebuild);
    connect(&form_, &Form1::viewChanged, this, qOverload<>(&QWidget::update));
    connect(&form_, &Form1::timeCursorsMoved, this, qOverload<>(&QWidget::update));
    analogLayout_ = form_.isAnalogMode();
    rebuild();
}

void OverviewBand::setDecodeResult(std::shared_ptr<const DecodeResult> result)
{
    result_ = std::move(result);
    columnsChanged();
}

void OverviewBand::setLiveDecodeResult(std::shared_ptr<const DecodeResult> result)
{
    liveResult_ = std::move(result);
    if (live_)
        columnsChanged();
}

OverviewLayout OverviewBand::bandLayout() const
{
    OverviewLayout l;
    l.fieldLeft = fieldLeft();
    l.width = kFieldWidth;
    l.analog = analogLayout_;
    l.tickLanes = ticks_.laneCount();
    return l;
}

int OverviewBand::fieldLeft() const
{
    // Under the traces' x = 40, wherever the frame has put the window.
    return mapFromGlobal(form_.Picture1->mapToGlobal(QPoint(int(kTracesLeft), 0))).x();
}

QSize OverviewBand::sizeHint() const
{
    const OverviewLayout l = bandLayout();
    return QSize(l.fieldLeft + l.width, l.height());
}

int OverviewBand::fieldColumn(double x) const
{
    return std::clamp(int(std::floor(x)) - fieldLeft(), 0, kFieldWidth - 1);
}

int64_t OverviewBand::sampleAt(double x) const
{
    const OverviewScale &scale = columns_.scale();
    if (scale.isEmpty())
        return -1;
    // The sample in the middle of the pointer's column.
    const int64_t t = int64_t(std::floor(scale.timeAt(fieldColumn(x) + 0.5)));
    return std::clamp<int64_t>(t, 0, scale.domain - 1);
}

double OverviewBand::pictureXAt(const QPointF &p) const
{
    const int64_t t = sampleAt(p.x());
    if (t < 0)
        return (kTracesLeft + kTracesRight) / 2;
    const double x = kTracesLeft + double(t - form_.HScroll1->value()) * double(form_.state.Magnification);
    return std::clamp(x, kTracesLeft, kTracesRight);
}

bool OverviewBand::overView(double x) const
{
    const OverviewSpan span =
        OverviewViewSpan(columns_.scale(), form_.HScroll1->value(), form_.state.Magnification);
    const int c = int(std::floor(x)) - fieldLeft();
    return !span.isEmpty() && c >= span.x0 - 1 && c <= span.x1;
}

void OverviewBand::columnsChanged()
{
    // A result belongs to the capture it was decoded from; while one
    // arrives, what the decoders have made of it so far shows. Until they
    // have made something, the lanes stay as they were, and so does the
    // band's height.
    const int lanes = ticks_.laneCount();
    if (live_ && liveResult_)
        ticks_ = OverviewTickColors(liveResult_.get(), columns_.scale());
    else if (live_)
        ticks_ = OverviewTicks{OverviewTickColors(result_.get(), OverviewScale()).names, {}};
    else
        ticks_ = OverviewTickColors(result_.get(), columns_.scale());
    if (ticks_.laneCount() != lanes)
        updateGeometry();
    pictureStale_ = true;
    update();
}

void OverviewBand::rebuild()
{
    const bool analog = form_.isAnalogMode();
    if (analog != analogLayout_) {
        analogLayout_ = analog; // the analog lane comes or goes with the mode
        updateGeometry();
    }
    if (!isVisible()) {
        stale_ = true; // nothing to follow while hidden
        return;
    }
    stale_ = false;
    live_ = false;
    fed_ = 0;
    BuildOverviewColumns(form_.capture(), kFieldWidth, columns_);
    columnsChanged();
}

void OverviewBand::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (form_.state.PendingCommand == wire::STATE_DATAREAD) {
        stale_ = false;
        live_ = false; // follow the read from its first record
        poll();
    } else if (stale_) {
        rebuild();
    }
}

void OverviewBand::transactionStarted()
{
    if (depth_++ > 0)
        return;
    // The press has emptied the store, and the traces are cleared.
    live_ = false;
    fed_ = 0;
    liveResult_.reset();
    columns_.reset(OverviewScale(), false);
    columnsChanged();
    timer_.start();
}

void OverviewBand::transactionEnded()
{
    if (depth_ > 0 && --depth_ == 0)
        timer_.stop();
    // The capture that the press leaves comes with captureChanged.
}

void OverviewBand::poll()
{
    if (!isVisible() || form_.state.PendingCommand != wire::STATE_DATAREAD)
        return;
    const SampleStore &store = form_.state.SampleData;
    const bool analog = form_.isAnalogMode() && store.fieldCount() > 2;
    // Records 0..LastSampleIndex - 1 are complete; the last one may still
    // lack its levels.
    const int32_t complete = std::max(0, std::min(form_.state.LastSampleIndex, store.upperBound()));
    const int32_t length = std::max(1, form_.Slider1->value());
    bool restart = !live_ || complete < fed_ || analog != columns_.isAnalog();
    const int32_t *times = store.isEmpty() ? nullptr : store.fieldData(0);
    if (!restart && complete > 0 && columns_.scale().domain <= Capture::kMaxTime
        && times[complete - 1] >= columns_.scale().domain)
        restart = true; // past the length asked for: make room for the whole time range
    if (restart) {
        const bool beyond = complete > 0 && times[complete - 1] >= length;
        columns_.reset(OverviewScale{kFieldWidth, beyond ? Capture::kMaxTime + 1 : length}, analog);
        live_ = true;
        fed_ = 0;
    } else if (complete == fed_) {
        return; // nothing new
    }
    if (times) {
        const int32_t *levels = store.fieldData(1);
        const int32_t *analogs = analog ? store.fieldData(2) : nullptr;
        for (int32_t n = fed_; n < complete; ++n)
            columns_.add(times[n], uint8_t(levels[n]), analogs ? uint8_t(analogs[n]) : uint8_t(0));
    }
    fed_ = complete;
    columnsChanged();
}

void OverviewBand::paintEvent(QPaintEvent *)
{
    const OverviewLayout layout = bandLayout();
    OverviewColors colors;
    // On the drawing area's own ground, so the band reads as part of the traces.
    colors.background = form_.Picture1->palette().color(QPalette::ToolTipBase).rgb();
    colors.text = form_.Picture1->palette().color(QPalette::ToolTipText).rgb();
    if (background_.size() != size() || layout.fieldLeft != backgroundLayout_.fieldLeft
        || layout.analog != backgroundLayout_.analog || layout.tickLanes != backgroundLayout_.tickLanes
        || ticks_.names != backgroundNames_ || colors.background != backgroundColor_) {
        background_ = QImage(size(), QImage::Format_RGB32);
        PaintOverviewBackground(background_, layout, colors, ticks_.names);
        backgroundLayout_ = layout;
        backgroundNames_ = ticks_.names;
        backgroundColor_ = colors.background;
        pictureStale_ = true;
    }
    if (pictureStale_) {
        picture_ = background_;
        PaintOverviewColumns(picture_, layout, columns_, ticks_, colors);
        pictureStale_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
    OverviewView view;
    view.viewStart = form_.HScroll1->value();
    view.magnification = form_.state.Magnification;
    view.referenceCursor = form_.state.XRefSample;
    view.measuringCursor = form_.state.XAxisSample;
    PaintOverviewView(painter, layout, columns_.scale(), view);
}

void OverviewBand::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || columns_.scale().isEmpty()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const double x = event->position().x();
    pressX_ = x;
    moved_ = false;
    lastColumn_ = fieldColumn(x);
    if (overView(x)) {
        drag_ = Drag::View;
        grabOffset_ = sampleAt(x) - form_.HScroll1->value();
        setCursor(Qt::ClosedHandCursor);
    } else {
        drag_ = Drag::Centre;
        emit centreRequested(sampleAt(x));
    }
    event->accept();
}

void OverviewBand::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if (drag_ == Drag::None) {
        if (columns_.scale().isEmpty())
            unsetCursor();
        else
            setCursor(overView(x) ? Qt::OpenHandCursor : Qt::PointingHandCursor);
        return;
    }
    const int column = fieldColumn(x);
    if (drag_ == Drag::View && !moved_ && std::abs(x - pressX_) < QApplication::startDragDistance())
        return; // still a click
    moved_ = true;
    if (column == lastColumn_)
        return;
    lastColumn_ = column;
    if (drag_ == Drag::Centre)
        emit centreRequested(sampleAt(x));
    else
        emit viewStartRequested(int(std::clamp<int64_t>(sampleAt(x) - grabOffset_, 0, Capture::kMaxTime)));
    event->accept();
}

void OverviewBand::mouseReleaseEvent(QMouseEvent *event)
{
    if (drag_ == Drag::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // A click on the rectangle centres there too.
    if (drag_ == Drag::View && !moved_)
        emit centreRequested(sampleAt(pressX_));
    drag_ = Drag::None;
    setCursor(overView(event->position().x()) ? Qt::OpenHandCursor : Qt::PointingHandCursor);
    event->accept();
}
