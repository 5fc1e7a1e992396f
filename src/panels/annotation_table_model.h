#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "decode/annotation_list.h"

// The results panel's table: one line per annotation, by start, with the
// columns Start, End, Decoder, Row and Text. It reads the result in place, so
// a capture of thousands of annotations costs no item objects.
class AnnotationTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { StartColumn, EndColumn, DecoderColumn, RowColumn, TextColumn, ColumnCount };
    // Under this role every cell gives its line's start sample, and
    // SpanEndRole its end sample (qint64).
    static constexpr int SpanStartRole = Qt::UserRole;
    static constexpr int SpanEndRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setResult(std::shared_ptr<const DecodeResult> result);
    const AnnotationLine *line(int row) const; // nullptr when out of range

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const DecodeResult> result_;
    std::vector<AnnotationLine> lines_;
};

// A sample's time from the capture start, "12.35 us" / "1.2345 ms"; the
// sample number itself when the rate is unknown.
QString AnnotationTimeText(int64_t sample, uint64_t rateHz);
