#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "panels/overview_columns.h"
#include "panels/overview_picture.h"

class Form1;
struct DecodeResult;

// The whole capture in one band beside the window, column for column under
// the traces' field: the levels of CH1..CH8, in Analog mode the analog
// channel's envelope, the decoders' annotations as ticks, the time cursors
// and the part of the capture in view.
//
// While a capture is read back the band fills with the records received so
// far. Nothing runs per received byte: a timer looks at the window's store
// at most 25 times a second while a device button's transaction runs, and
// takes the records that arrived since it last looked.
//
// A click or drag asks for the view to be centred there, and dragging the
// view's rectangle asks for the view to move with it; the owner carries the
// requests out through the window's scroll bar, as a user would.
class OverviewBand : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPollMs = 40; // 25 updates a second
    static constexpr int kFieldWidth = 700; // as the traces' field

    explicit OverviewBand(Form1 &form, QWidget *parent = nullptr);

    // The decoders' result whose annotations show as ticks; null for none.
    void setDecodeResult(std::shared_ptr<const DecodeResult> result);
    // What the decoders have made so far of the capture still arriving:
    // shown while it arrives, forgotten when the next read begins.
    void setLiveDecodeResult(std::shared_ptr<const DecodeResult> result);

    // What the band shows now, for tests and benchmarks.
    const OverviewColumns &columns() const { return columns_; }
    const OverviewTicks &ticks() const { return ticks_; }
    OverviewLayout bandLayout() const;
    // The sample under the field column at widget x (clamped to the field),
    // -1 without a capture.
    int64_t sampleAt(double x) const;
    // The x on the drawing area (Picture1) where the sample under `p` lies,
    // kept inside the traces' field: where a zoom by the wheel is anchored.
    double pictureXAt(const QPointF &p) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // Centre the view on this sample.
    void centreRequested(qint64 sample);
    // Move the view start here.
    void viewStartRequested(int viewStart);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int fieldLeft() const;
    int fieldColumn(double x) const;
    bool overView(double x) const;
    void rebuild();
    void transactionStarted();
    void transactionEnded();
    void poll();
    void columnsChanged();

    Form1 &form_;
    OverviewColumns columns_;
    std::shared_ptr<const DecodeResult> result_;
    std::shared_ptr<const DecodeResult> liveResult_;
    OverviewTicks ticks_;
    std::vector<QString> backgroundNames_;
    QImage background_; // ground, lane names: redrawn when the layout changes
    OverviewLayout backgroundLayout_;
    QRgb backgroundColor_ = 0;
    QImage picture_; // the columns over it, redrawn when they change
    bool pictureStale_ = true;
    bool analogLayout_ = false;
    bool stale_ = false; // the capture changed while the band was hidden
    QTimer timer_;
    int depth_ = 0;      // device transactions running (they nest)
    bool live_ = false;  // columns_ follow a read still arriving
    int32_t fed_ = 0;    // records of the store taken into columns_

    enum class Drag { None, Centre, View };
    Drag drag_ = Drag::None;
    double pressX_ = 0;
    int64_t grabOffset_ = 0; // pressed sample - view start, while the rectangle is dragged
    bool moved_ = false;
    int lastColumn_ = -1;
};
