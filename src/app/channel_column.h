#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>

// The channel-name column at the left of the drawing area (Label3(2)). It
// keeps the one-string caption, but paints the nine names at the rows they
// name, so they line up whatever the font's metrics.
class ChannelNameColumn : public QLabel {
    Q_OBJECT
public:
    static constexpr int kNames = 9; // the eight channels, then the analog trace

    explicit ChannelNameColumn(QWidget *parent = nullptr);
    static QString caption();
    static QString name(int row);
    // Where a name is drawn, and in which font: the column's own, or a smaller
    // size of it (not below 7 pt) for a name the column is too narrow for.
    QRect nameRect(int row) const;
    QFont nameFont(int row) const { return nameFont_[row]; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitNames();

    QFont nameFont_[kNames];
};
