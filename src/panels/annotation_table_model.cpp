#include "panels/annotation_table_model.h"

#include <QTextDocument>

QString AnnotationTimeText(int64_t sample, uint64_t rateHz)
{
    if (rateHz == 0)
        return QString::number(sample);
    const double us = double(sample) * 1e6 / double(rateHz);
    return us >= 1000 ? QStringLiteral("%1 ms").arg(us / 1000, 0, 'f', 4) : QStringLiteral("%1 us").arg(us, 0, 'f', 2);
}

void AnnotationTableModel::setResult(std::shared_ptr<const DecodeResult> result)
{
    beginResetModel();
    result_ = std::move(result);
    lines_ = result_ ? AnnotationsByStart(*result_) : std::vector<AnnotationLine>{};
    endResetModel();
}

const AnnotationLine *AnnotationTableModel::line(int row) const
{
    return row >= 0 && size_t(row) < lines_.size() ? &lines_[size_t(row)] : nullptr;
}

int AnnotationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(lines_.size());
}

int AnnotationTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant AnnotationTableModel::data(const QModelIndex &index, int role) const
{
    const AnnotationLine *l = line(index.row());
    if (!l)
        return {};
    if (role == SpanStartRole)
        return qint64(l->annotation->start);
    if (role == SpanEndRole)
        return qint64(l->annotation->end);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const uint64_t rate = result_->sampleRateHz;
    switch (index.column()) {
    case StartColumn: return AnnotationTimeText(l->annotation->start, rate);
    case EndColumn: return AnnotationTimeText(l->annotation->end, rate);
    case DecoderColumn: return l->instance->name;
    case RowColumn: return l->rowName();
    case TextColumn: // a tooltip that looks like markup would be taken for it
        return role == Qt::ToolTipRole ? Qt::convertFromPlainText(l->annotation->texts.join(QStringLiteral(" / ")))
                                       : l->text();
    default: return {};
    }
}

QVariant AnnotationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case StartColumn: return QStringLiteral("Start");
    case EndColumn: return QStringLiteral("End");
    case DecoderColumn: return QStringLiteral("Decoder");
    case RowColumn: return QStringLiteral("Row");
    case TextColumn: return QStringLiteral("Text");
    default: return {};
    }
}
