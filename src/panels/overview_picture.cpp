#include "panels/overview_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "decode/decode_result.h"
#include "panels/annotation_layout.h"
#include "panels/annotation_palette.h"

namespace {

constexpr int kMinViewWidth = 3;
constexpr int kHatchPeriod = 4;

// Writes pixels straight into the image: the band is redrawn up to 25 times
// a second while a capture arrives, and a full capture has 5600 lane
// columns to draw.
class Pixels {
public:
    explicit Pixels(QImage &image)
        : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()), height_(image.height())
    {
    }
    void set(int x, int y, QRgb c)
    {
        if (x >= 0 && x < width_ && y >= 0 && y < height_)
            reinterpret_cast<QRgb *>(bits_ + qsizetype(y) * stride_)[x] = c;
    }
    void column(int x, int y0, int y1, QRgb c)
    {
        if (x < 0 || x >= width_)
            return;
        for (int y = std::max(0, y0); y <= std::min(y1, height_ - 1); ++y)
            reinterpret_cast<QRgb *>(bits_ + qsizetype(y) * stride_)[x] = c;
    }

private:
    uchar *bits_; // one detach of the image, not one a pixel
    qsizetype stride_;
    int width_, height_;
};

void PaintLaneNames(QImage &image, const OverviewLayout &layout, const OverviewColors &colors,
                    const std::vector<QString> &tickNames)
{
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(8);
    painter.setFont(font);
    painter.setPen(QColor(colors.text));
    const int right = layout.fieldLeft - 4;
    const QFontMetrics metrics(font);
    const auto name = [&](int top, int height, const QString &text) {
        // A long instance name ("eeprom24xx-1") loses its middle, not its number.
        painter.drawText(QRect(0, top - 1, right, height + 2), Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideMiddle, right));
    };
    for (int k = 0; k < 8; ++k)
        name(layout.laneTop(k), OverviewLayout::kLaneHeight, QStringLiteral("CH%1").arg(k + 1));
    if (layout.analog)
        name(layout.analogTop(), OverviewLayout::kAnalogHeight, QStringLiteral("Analog"));
    if (tickNames.empty())
        name(layout.tickTop(), OverviewLayout::kTickHeight, QStringLiteral("Decode"));
    for (size_t lane = 0; lane < tickNames.size() && int(lane) < layout.tickLanes; ++lane)
        name(layout.tickTop(int(lane)), OverviewLayout::kTickHeight, tickNames[lane]);
}

} // namespace

int OverviewLayout::analogY(int count) const
{
    count = std::clamp(count, 0, 255);
    return analogTop() + int(std::lround((255 - count) * double(kAnalogHeight - 1) / 255.0));
}

OverviewTicks OverviewTickColors(const DecodeResult *result, const OverviewScale &scale)
{
    OverviewTicks out;
    if (!result)
        return out;
    for (const DecodeInstanceResult &instance : result->instances)
        out.names.push_back(instance.name);
    if (scale.isEmpty())
        return out;
    out.lanes.assign(out.names.size(), std::vector<QRgb>(size_t(scale.width), 0));
    std::vector<std::vector<AnnotationKind>> worstOf(out.names.size(),
                                                     std::vector<AnnotationKind>(size_t(scale.width)));
    for (const AnnotationRowInfo &row : AnnotationRows(*result)) {
        if (!row.row || row.instanceIndex < 0 || size_t(row.instanceIndex) >= out.lanes.size())
            continue; // an error line: its message is in the strip
        std::vector<QRgb> &ticks = out.lanes[size_t(row.instanceIndex)];
        std::vector<AnnotationKind> &worst = worstOf[size_t(row.instanceIndex)];
        for (const DecodeAnnotation &a : row.row->annotations()) {
            if (a.start < 0 || a.start >= scale.domain)
                continue;
            const int cls = a.annotationClass;
            const AnnotationKind kind =
                std::max(row.rowKind, cls >= 0 && size_t(cls) < row.classKinds.size() ? row.classKinds[size_t(cls)]
                                                                                       : AnnotationKind::Normal);
            const size_t c = size_t(scale.columnOf(a.start));
            if (ticks[c] != 0 && kind < worst[c])
                continue; // a warning or an error shows over the rest
            ticks[c] = AnnotationOutlineColor(cls, kind).rgb();
            worst[c] = kind;
        }
    }
    return out;
}

void PaintOverviewBackground(QImage &image, const OverviewLayout &layout, const OverviewColors &colors,
                             const std::vector<QString> &tickNames)
{
    image.fill(colors.background);
    PaintLaneNames(image, layout, colors, tickNames);
    Pixels px(image);
    for (int x = 0; x < image.width(); ++x)
        px.set(x, layout.height() - 1, colors.separator);
}

void PaintOverviewColumns(QImage &image, const OverviewLayout &layout, const OverviewColumns &columns,
                          const OverviewTicks &ticks, const OverviewColors &colors)
{
    const OverviewScale &scale = columns.scale();
    if (scale.isEmpty())
        return;
    Pixels px(image);
    const std::vector<OverviewColumn> &cols = columns.columns();
    const int count = std::min<int>(int(cols.size()), layout.width);
    const bool analog = layout.analog && columns.isAnalog();
    for (int c = 0; c < count; ++c) {
        const OverviewColumn &col = cols[size_t(c)];
        if (!col.covered())
            continue;
        const int x = layout.fieldLeft + c;
        for (int k = 0; k < 8; ++k) {
            const uint8_t bit = uint8_t(1u << k);
            if (col.busy & bit)
                px.column(x, layout.highY(k), layout.lowY(k), colors.busy);
            else if ((col.edge & bit) || ((col.high & col.low) & bit))
                px.column(x, layout.highY(k), layout.lowY(k), colors.trace);
            else
                px.set(x, (col.high & bit) ? layout.highY(k) : layout.lowY(k), colors.trace);
        }
        if (analog)
            px.column(x, layout.analogY(col.analogMax), layout.analogY(col.analogMin), colors.trace);
    }
    for (size_t lane = 0; lane < ticks.lanes.size() && int(lane) < layout.tickLanes; ++lane) {
        const std::vector<QRgb> &tick = ticks.lanes[lane];
        const int top = layout.tickTop(int(lane));
        for (int c = 0; c < std::min<int>(int(tick.size()), layout.width); ++c) {
            if (tick[size_t(c)] != 0)
                px.column(layout.fieldLeft + c, top, top + OverviewLayout::kTickHeight - 1, tick[size_t(c)]);
        }
    }
    if (!columns.isFinished()) {
        // Hatching from the first column that holds nothing final yet.
        for (int c = scale.columnEnd(columns.known()); c < layout.width; ++c) {
            const int x = layout.fieldLeft + c;
            for (int y = (kHatchPeriod - x % kHatchPeriod) % kHatchPeriod; y < layout.height() - 1; y += kHatchPeriod)
                px.set(x, y, colors.toCome);
        }
    }
}

OverviewSpan OverviewViewSpan(const OverviewScale &scale, int viewStart, float magnification)
{
    OverviewSpan span;
    if (scale.isEmpty() || !(magnification > 0))
        return span;
    const double first = viewStart;
    const double last = first + 700.0 / double(magnification);
    span.x0 = int(std::floor(scale.xOf(first)));
    span.x1 = int(std::ceil(scale.xOf(last)));
    if (span.x1 - span.x0 < kMinViewWidth) {
        const int middle = (span.x0 + span.x1) / 2;
        span.x0 = middle - kMinViewWidth / 2;
        span.x1 = span.x0 + kMinViewWidth;
    }
    span.x0 = std::clamp(span.x0, 0, scale.width);
    span.x1 = std::clamp(span.x1, 0, scale.width);
    return span;
}

int OverviewCursorColumn(const OverviewScale &scale, int32_t sample)
{
    if (scale.isEmpty() || sample < 0 || sample >= scale.domain)
        return -1;
    return scale.columnOf(sample);
}

void PaintOverviewView(QPainter &painter, const OverviewLayout &layout, const OverviewScale &scale,
                       const OverviewView &view, const OverviewColors &colors)
{
    if (scale.isEmpty())
        return;
    const int height = layout.height() - 1; // above the line under the band
    const OverviewSpan span = OverviewViewSpan(scale, view.viewStart, view.magnification);
    QColor fill(colors.view);
    fill.setAlpha(colors.viewFillAlpha);
    if (!span.isEmpty())
        painter.fillRect(QRect(layout.fieldLeft + span.x0, 0, span.x1 - span.x0, height), fill);
    const auto cursor = [&](int32_t sample, QRgb color) {
        const int c = OverviewCursorColumn(scale, sample);
        if (c >= 0)
            painter.fillRect(QRect(layout.fieldLeft + c, 0, 1, height), QColor(color));
    };
    cursor(view.referenceCursor, colors.referenceCursor);
    cursor(view.measuringCursor, colors.measuringCursor);
    if (!span.isEmpty()) {
        painter.setPen(QColor(colors.view));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(layout.fieldLeft + span.x0, 0, span.x1 - span.x0 - 1, height - 1));
    }
}
