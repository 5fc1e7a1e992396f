#pragma once

#include <QLabel>

// The channel-name column at the left of the drawing area (Label3(2)). It
// keeps the one-string caption, but paints the nine names at the rows they
// name, so they line up whatever the font's metrics.
class ChannelNameColumn : public QLabel {
    Q_OBJECT
public:
    explicit ChannelNameColumn(QWidget *parent = nullptr);
    static QString caption();

protected:
    void paintEvent(QPaintEvent *event) override;
};
