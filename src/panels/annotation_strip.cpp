#include "panels/annotation_strip.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>

#include "panels/annotation_painter.h"
#include "panels/annotation_tooltip.h"

namespace {

constexpr int kTitlePadding = 3; // around a row's title on its translucent ground

} // namespace

AnnotationStrip::AnnotationStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("annotationStrip"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // A font that fits the row height, whatever the window's font.
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
}

void AnnotationStrip::setResult(std::shared_ptr<const DecodeResult> result)
{
    result_ = std::move(result);
    rows_ = result_ ? AnnotationRows(*result_) : std::vector<AnnotationRowInfo>();
    tops_.clear();
    int y = kMargin;
    for (const AnnotationRowInfo &info : rows_) {
        if (info.firstOfInstance)
            y += kHeaderHeight;
        tops_.push_back(y);
        y += kRowHeight;
    }
    layoutDirty_ = true;
    updateGeometry();
    update();
}

void AnnotationStrip::setView(int viewStart, float magnification, int fieldLeft)
{
    viewStart_ = viewStart;
    magnification_ = magnification;
    fieldLeft_ = fieldLeft;
    layoutDirty_ = true;
    update();
}

AnnotationView AnnotationStrip::view() const
{
    AnnotationView v;
    v.viewStart = viewStart_;
    v.magnification = magnification_;
    v.fieldWidth = kFieldWidth;
    return v;
}

void AnnotationStrip::ensureLayout() const
{
    if (!layoutDirty_)
        return;
    const QFontMetricsF metrics(font());
    const TextWidthFunction width = [&metrics](const QString &text) { return metrics.horizontalAdvance(text); };
    const AnnotationView v = view();
    boxes_.resize(rows_.size());
    for (size_t r = 0; r < rows_.size(); ++r)
        boxes_[r] = LayOutAnnotationRow(rows_[r], v, width);
    layoutDirty_ = false;
}

QString AnnotationStrip::rowTitle(int row) const
{
    return row >= 0 && row < rowCount() ? rows_[size_t(row)].title : QString();
}

int AnnotationStrip::rowTop(int row) const
{
    return row >= 0 && row < rowCount() ? tops_[size_t(row)] : kMargin;
}

int AnnotationStrip::heightOfRows(int rows) const
{
    rows = std::min(rows, rowCount());
    return rows <= 0 ? 0 : rowTop(rows - 1) + kRowHeight + kMargin;
}

int AnnotationStrip::rowAt(int y) const
{
    // The last row starting at or above y, if y lies within it.
    const auto after = std::upper_bound(tops_.begin(), tops_.end(), y);
    if (after == tops_.begin())
        return -1;
    const int row = int(after - tops_.begin()) - 1;
    return y < tops_[size_t(row)] + kRowHeight ? row : -1;
}

QString AnnotationStrip::headerText(int row) const
{
    if (row < 0 || row >= rowCount() || !rows_[size_t(row)].firstOfInstance)
        return QString();
    const DecodeInstanceResult *instance = rows_[size_t(row)].instance;
    if (!instance)
        return QStringLiteral("Decoding");
    const QString decoder = instance->decoder ? instance->decoder->name : instance->decoderId;
    return decoder.isEmpty() ? instance->name : instance->name + QStringLiteral("  ") + decoder;
}

const std::vector<AnnotationBox> &AnnotationStrip::boxes(int row) const
{
    static const std::vector<AnnotationBox> none;
    if (row < 0 || row >= rowCount())
        return none;
    ensureLayout();
    return boxes_[size_t(row)];
}

const DecodeAnnotation *AnnotationStrip::annotationAt(const QPoint &p, QString *instanceName) const
{
    const int row = rowAt(p.y());
    if (row < 0 || !rows_[size_t(row)].row)
        return nullptr;
    const double x = p.x() - fieldLeft_;
    if (x < 0 || x >= kFieldWidth || !(magnification_ > 0))
        return nullptr;
    const AnnotationRowInfo &info = rows_[size_t(row)];
    int64_t first = 0, last = 0;
    SamplesUnderPixels(view(), x, x + 1, &first, &last);
    const std::vector<const DecodeAnnotation *> under = info.row->overlapping(first, last);
    if (under.empty())
        return nullptr;
    if (instanceName)
        *instanceName = info.instance->name;
    return under.back(); // drawn last, so on top
}

QSize AnnotationStrip::sizeHint() const
{
    return QSize(fieldLeft_ + kFieldWidth, heightOfRows(rowCount()));
}

QString AnnotationStrip::toolTipAt(const QPoint &p) const
{
    const int row = rowAt(p.y());
    if (row < 0)
        return QString();
    const AnnotationRowInfo &info = rows_[size_t(row)];
    if (p.x() < fieldLeft_)
        return info.title;
    if (p.x() >= fieldLeft_ + kFieldWidth)
        return QString();
    if (!info.row) {
        // The message and, for a decoder that raised, where in its code.
        QStringList lines{info.title, info.error};
        for (const QString &l : info.detail) {
            if (l != info.error)
                lines << QStringLiteral("  ") + l;
        }
        return lines.join(QLatin1Char('\n'));
    }
    QString instance;
    const DecodeAnnotation *a = annotationAt(p, &instance);
    return a ? AnnotationToolTip(*a, instance, info.shortTitle, result_->sampleRateHz) : QString();
}

bool AnnotationStrip::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // As plain text: decoder texts may hold '<'.
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap), this);
        }
        return true;
    }
    return QWidget::event(event);
}

void AnnotationStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (rows_.empty())
        return;
    ensureLayout();
    const QFontMetricsF metrics(font());
    const QRect field(fieldLeft_, 0, kFieldWidth, height());
    for (int r = 0; r < rowCount(); ++r) {
        const AnnotationRowInfo &info = rows_[size_t(r)];
        const int top = rowTop(r);
        if (info.firstOfInstance)
            paintHeader(painter, r);
        painter.save();
        painter.setClipRect(field);
        painter.setRenderHint(QPainter::Antialiasing);
        PaintAnnotationBoxes(painter, boxes_[size_t(r)], fieldLeft_, top, kRowHeight, metrics);
        painter.restore();
        paintTitle(painter, info, top);
    }
}

void AnnotationStrip::paintHeader(QPainter &painter, int row) const
{
    // The decoder's name across the strip, on the ground of a header, with
    // a rule above it between decoders.
    const QRect line(0, rowTop(row) - kHeaderHeight, fieldLeft_ + kFieldWidth, kHeaderHeight);
    painter.fillRect(line, palette().color(QPalette::AlternateBase));
    if (row > 0) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(line.left(), line.top(), line.right(), line.top());
    }
    QFont bold = font();
    bold.setBold(true);
    painter.save();
    painter.setFont(bold);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(line.adjusted(kTitlePadding, 0, -kTitlePadding, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     headerText(row));
    painter.restore();
}

void AnnotationStrip::paintTitle(QPainter &painter, const AnnotationRowInfo &info, int top) const
{
    // The row's own name in full over the left end of its row, on a
    // translucent ground: the annotations stay visible under it, and the
    // decoder is named by the header above. The margin left of the field is
    // too narrow for any name. An error line has no name of its own.
    if (!info.row)
        return;
    const QFontMetrics metrics(font());
    const QString text = info.shortTitle;
    // A pixel to spare: whole-pixel advances round, and a text given exactly
    // its advance may still be elided.
    const int width = std::min(metrics.horizontalAdvance(text) + 2 * kTitlePadding + 2, kFieldWidth / 3);
    const QRect ground(fieldLeft_, top + 2, width, kRowHeight - 4);
    QColor base = palette().color(QPalette::Base);
    base.setAlpha(200);
    painter.fillRect(ground, base);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(ground.adjusted(kTitlePadding, 0, -kTitlePadding, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(text, Qt::ElideMiddle, width - 2 * kTitlePadding - 1));
}

void AnnotationStrip::mouseDoubleClickEvent(QMouseEvent *event)
{
    QString instance;
    if (const DecodeAnnotation *a = annotationAt(event->position().toPoint(), &instance)) {
        emit annotationActivated(instance, a->start, a->end);
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void AnnotationStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        layoutDirty_ = true;
        update();
    }
    QWidget::changeEvent(event);
}
