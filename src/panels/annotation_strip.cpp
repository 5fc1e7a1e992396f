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

constexpr int kTitleGap = 4; // between a row title and the field

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

int AnnotationStrip::rowAt(int y) const
{
    if (y < kMargin)
        return -1;
    const int row = (y - kMargin) / kRowHeight;
    return row < rowCount() ? row : -1;
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
    const int height = rows_.empty() ? 0 : rowCount() * kRowHeight + 2 * kMargin;
    return QSize(fieldLeft_ + kFieldWidth, height);
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
    const int titleWidth = fieldLeft_ - kTitleGap;
    const QColor separator = palette().color(QPalette::Mid);
    const QRect field(fieldLeft_, 0, kFieldWidth, height());
    for (int r = 0; r < rowCount(); ++r) {
        const AnnotationRowInfo &info = rows_[size_t(r)];
        const int top = rowTop(r);
        if (info.firstOfInstance && r > 0) {
            painter.setPen(separator);
            painter.drawLine(0, top, fieldLeft_ + kFieldWidth - 1, top);
        }
        if (titleWidth > 0)
            paintTitle(painter, info, QRect(0, top, titleWidth, kRowHeight));
        painter.save();
        painter.setClipRect(field);
        painter.setRenderHint(QPainter::Antialiasing);
        PaintAnnotationBoxes(painter, boxes_[size_t(r)], fieldLeft_, top, kRowHeight, metrics);
        painter.restore();
    }
}

void AnnotationStrip::paintTitle(QPainter &painter, const AnnotationRowInfo &info, const QRect &room) const
{
    // The whole title when it fits, else the row's own name (the separators
    // group an instance's rows), in a smaller condensed font if need be; what
    // still does not fit loses its middle, since rows of one decoder often
    // differ only at the end ("MOSI data", "MOSI bits"). The tooltip has it all.
    QFont small = font();
    small.setPixelSize(std::max(8, QFontInfo(font()).pixelSize() - 2));
    small.setStretch(QFont::SemiCondensed);
    const QFontMetrics normal(font()), condensed(small);
    QString text = info.title;
    QFont chosen = font();
    if (normal.horizontalAdvance(text) > room.width()) {
        text = info.shortTitle;
        if (normal.horizontalAdvance(text) > room.width()) {
            chosen = small;
            text = condensed.elidedText(text, Qt::ElideMiddle, room.width());
        }
    }
    painter.save();
    painter.setFont(chosen);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(room, Qt::AlignRight | Qt::AlignVCenter, text);
    painter.restore();
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
