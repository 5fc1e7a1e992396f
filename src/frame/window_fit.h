#pragma once

#include <QRect>
#include <QScrollArea>
#include <QSize>

// The size a window opens or grows to: as large as it wants (`wanted`), but
// inside the screen's available area once the window frame (`frameExtra`,
// title bar and borders) is added, and never below `minimum`.
QSize FittedWindowSize(QSize wanted, QSize minimum, QSize frameExtra, QRect available);

// The room around the fixed-size window: it asks for as much as the window
// and the bands above and below it take, and scrolls them when the frame is
// made smaller than that, so the window never stretches or squeezes.
class FittingScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit FittingScrollArea(QWidget *content, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
