#pragma once

#include <QWidget>

class QPainter;
#include <memory>
#include <vector>

#include "decode/decode_result.h"
#include "panels/annotation_layout.h"

// The decoders' annotations in rows under the traces, one row per declared
// row of each decoder instance that has annotations, drawn sample for sample
// under the traces: the owner passes the traces' view start and magnification
// and where their field starts in this widget.
//
// Laying out costs what is in view (the rows' binary search), and happens at
// the next paint or query after a change, so several setView calls between
// two paints cost one layout.
class AnnotationStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kMargin = 2;       // above the first row and below the last
    static constexpr int kHeaderHeight = 15; // the line naming a decoder above its rows
    static constexpr int kFieldWidth = 700; // as the traces' field

    explicit AnnotationStrip(QWidget *parent = nullptr);

    // Null shows nothing: no rows, height 0.
    void setResult(std::shared_ptr<const DecodeResult> result);
    std::shared_ptr<const DecodeResult> result() const { return result_; }
    // viewStart and magnification as the traces have them; fieldLeft: the x
    // in this widget where the traces' x = 40 lies.
    void setView(int viewStart, float magnification, int fieldLeft);

    int rowCount() const { return int(rows_.size()); }
    QString rowTitle(int row) const; // "uart-1: RX data"; empty out of range
    // The row under y in widget coordinates, -1 when none (also on a
    // decoder's header line).
    int rowAt(int y) const;
    // Top of a row in widget coordinates: the rows above and the header line
    // of each decoder up to this row's own.
    int rowTop(int row) const;
    // Height the first `rows` rows take with their headers and the margins.
    int heightOfRows(int rows) const;
    // The header line of the decoder whose rows start at `row`
    // ("uart-1  UART"); empty when none starts there.
    QString headerText(int row) const;
    // The boxes of a row as laid out for the current view (field pixels).
    const std::vector<AnnotationBox> &boxes(int row) const;

    // The annotation under a point (widget coordinates), for tooltips and
    // tests; null when none.
    const DecodeAnnotation *annotationAt(const QPoint &p, QString *instanceName = nullptr) const;

    // Height: the rows and the margins; 0 without rows.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // A box was double-clicked.
    void annotationActivated(const QString &instanceName, qint64 start, qint64 end);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    AnnotationView view() const;
    void ensureLayout() const;
    QString toolTipAt(const QPoint &p) const;
    void paintHeader(QPainter &painter, int row) const;
    void paintTitle(QPainter &painter, const AnnotationRowInfo &info, int top) const;

    std::shared_ptr<const DecodeResult> result_;
    std::vector<AnnotationRowInfo> rows_; // follows the result only
    std::vector<int> tops_;               // rowTop of each row
    int viewStart_ = 0;
    float magnification_ = 1;
    int fieldLeft_ = 40;
    mutable std::vector<std::vector<AnnotationBox>> boxes_; // per row, for the view
    mutable bool layoutDirty_ = true;
};
