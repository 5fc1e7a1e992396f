#include "panels/analysis_docks.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/measurements.h"
#include "analysis/protocol_detection.h"
#include "app/form1.h"

namespace {

// A value with an SI prefix and three significant digits: "115 kHz", "8.68 us".
QString SiText(double value, const char *unit)
{
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("–");
    static const struct {
        double scale;
        const char *prefix;
    } prefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}, {1e-12, "p"}};
    const double magnitude = std::fabs(value);
    for (const auto &p : prefixes) {
        if (magnitude >= p.scale * 0.9995 || p.scale == 1e-12)
            return QStringLiteral("%1 %2%3").arg(value / p.scale, 0, 'g', 3).arg(QLatin1String(p.prefix), QLatin1String(unit));
    }
    return QString();
}

QTableWidget *MakeTable(QWidget *parent, const QStringList &headers)
{
    auto *t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void SetRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

} // namespace

// ---------------------------------------------------------------- detection

DetectionDock::DetectionDock(Form1 &form, QWidget *parent)
    : DockBuiltWhenShown(QStringLiteral("Detected signals"), parent), form_(form)
{
    setObjectName(QStringLiteral("detectionDock"));
}

void DetectionDock::buildBody()
{
    table_ = MakeTable(this, {QStringLiteral("Channels"), QStringLiteral(""), QStringLiteral("Finding")});
    table_->setObjectName(QStringLiteral("detectionTable"));
    setWidget(table_);
}

void DetectionDock::detect()
{
    ensureBuilt();
    const Capture capture = form_.capture();
    table_->setRowCount(0);
    if (capture.isEmpty()) {
        table_->setRowCount(1);
        SetRow(table_, 0, {QString(), QString(), QStringLiteral("No capture in view")});
        return;
    }
    const DetectionReport report = DetectProtocols(capture);
    table_->setRowCount(int(report.findings.size()));
    for (int row = 0; row < int(report.findings.size()); ++row) {
        const Finding &f = report.findings[size_t(row)];
        QStringList names;
        for (int c : f.channels)
            names << QStringLiteral("CH%1").arg(c + 1);
        SetRow(table_, row, {names.join(QLatin1Char(' ')), QString(), f.text});
        table_->item(row, 2)->setToolTip(f.decoder.isEmpty() ? f.text : f.line());
        if (!f.decoder.isEmpty()) {
            auto *add = new QPushButton(QStringLiteral("Add decoder"), table_);
            add->setObjectName(QStringLiteral("addDecoder%1").arg(row));
            add->setToolTip(f.decoder);
            const QString decoder = f.decoder;
            connect(add, &QPushButton::clicked, this, [this, decoder] { emit decoderRequested(decoder); });
            table_->setCellWidget(row, 1, add);
        }
    }
    table_->resizeColumnsToContents();
}

// ---------------------------------------------------------------- measurements

MeasurementsDock::MeasurementsDock(Form1 &form, QWidget *parent)
    : DockBuiltWhenShown(QStringLiteral("Measurements"), parent), form_(form)
{
    setObjectName(QStringLiteral("measurementsDock"));
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(30);
    connect(&coalesce_, &QTimer::timeout, this, &MeasurementsDock::refresh);
    auto later = [this] {
        if (isVisible())
            coalesce_.start();
    };
    connect(&form_, &Form1::captureChanged, this, later);
    connect(&form_, &Form1::timeCursorsMoved, this, [this, later] {
        if (between_ && between_->isChecked())
            later();
    });
}

void MeasurementsDock::buildBody()
{
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    // The whole capture unless asked otherwise: the cursors always stand
    // somewhere, and where they stand at start-up says nothing.
    between_ = new QCheckBox(QStringLiteral("Between the time cursors"), body);
    between_->setObjectName(QStringLiteral("measurementsBetweenCursors"));
    between_->setToolTip(QStringLiteral("Measure the span between the two time cursors instead of the whole capture"));
    span_ = new QLabel(body);
    span_->setObjectName(QStringLiteral("measurementsSpan"));
    table_ = MakeTable(body, {QStringLiteral("Channel"), QStringLiteral("Edges"), QStringLiteral("Frequency"),
                              QStringLiteral("Period"), QStringLiteral("Duty"), QStringLiteral("High min / max"),
                              QStringLiteral("Low min / max")});
    table_->setObjectName(QStringLiteral("measurementsTable"));
    auto *row = new QHBoxLayout;
    row->addWidget(between_);
    row->addSpacing(12);
    row->addWidget(span_, 1);
    layout->addLayout(row);
    layout->addWidget(table_);
    setWidget(body);
    connect(between_, &QCheckBox::toggled, this, &MeasurementsDock::refresh);
}

void MeasurementsDock::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    refresh();
}

QString MeasurementsDock::spanText() { return ensureBuilt(), span_->text(); }

void MeasurementsDock::refresh()
{
    ensureBuilt();
    const Capture capture = form_.capture();
    table_->setRowCount(0);
    if (capture.isEmpty()) {
        span_->setText(QStringLiteral("No capture in view"));
        return;
    }
    // Between the time cursors when asked for and they enclose a span of
    // the capture; else the whole capture.
    int32_t from = std::min(form_.state.XRefSample, form_.state.XAxisSample);
    int32_t to = std::max(form_.state.XRefSample, form_.state.XAxisSample);
    const bool enclose = from < to && from >= 0 && from < capture.sampleCount();
    const bool between = between_->isChecked() && enclose;
    if (!between) {
        from = 0;
        to = capture.sampleCount();
    }
    const Measurements m = MeasureChannels(capture, from, to);
    if (between)
        span_->setText(QStringLiteral("Samples %1 to %2 (%3)").arg(m.fromSample).arg(m.toSample).arg(SiText(m.windowSeconds, "s")));
    else
        span_->setText(QStringLiteral("Whole capture: %1 samples (%2)%3")
                           .arg(m.toSample)
                           .arg(SiText(m.windowSeconds, "s"),
                                between_->isChecked() ? QStringLiteral("; the time cursors enclose no span of it") : QString()));
    table_->setRowCount(Capture::kChannels + (capture.isAnalog() ? 1 : 0));
    for (int c = 0; c < Capture::kChannels; ++c) {
        const ChannelMeasurement &ch = m.channels[size_t(c)];
        SetRow(table_, c,
               {QStringLiteral("CH%1").arg(c + 1), QString::number(ch.risingEdges + ch.fallingEdges),
                SiText(ch.frequencyHz, "Hz"), SiText(ch.periodSeconds, "s"),
                ch.frequencyHz > 0 ? QStringLiteral("%1 %").arg(ch.dutyCycle * 100, 0, 'f', 1) : QStringLiteral("–"),
                QStringLiteral("%1 / %2").arg(SiText(ch.shortestHighSeconds, "s"), SiText(ch.longestHighSeconds, "s")),
                QStringLiteral("%1 / %2").arg(SiText(ch.shortestLowSeconds, "s"), SiText(ch.longestLowSeconds, "s"))});
    }
    if (capture.isAnalog()) {
        const AnalogMeasurement &a = m.analog;
        SetRow(table_, Capture::kChannels,
               {QStringLiteral("Analog"), QString::number(a.crossings), SiText(a.frequencyHz, "Hz"),
                QStringLiteral("min %1  max %2").arg(SiText(a.minVolts, "V"), SiText(a.maxVolts, "V")),
                QStringLiteral("mean %1").arg(SiText(a.meanVolts, "V")), QStringLiteral("RMS %1").arg(SiText(a.rmsVolts, "V")),
                QStringLiteral("p-p %1").arg(SiText(a.peakToPeakVolts, "V"))});
    }
    table_->resizeColumnsToContents();
}
