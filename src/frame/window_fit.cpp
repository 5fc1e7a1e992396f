#include "frame/window_fit.h"

#include <QEvent>

QSize FittedWindowSize(QSize wanted, QSize minimum, QSize frameExtra, QRect available)
{
    const QSize room = available.size() - frameExtra;
    return wanted.boundedTo(room).expandedTo(minimum);
}

FittingScrollArea::FittingScrollArea(QWidget *content, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false); // the content keeps its own size
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWidget(content);
    content->installEventFilter(this);
}

QSize FittingScrollArea::sizeHint() const
{
    // The content whole; the scroll bars only when the frame cannot give it that.
    return widget() ? widget()->sizeHint() : QScrollArea::sizeHint();
}

bool FittingScrollArea::eventFilter(QObject *watched, QEvent *event)
{
    // A band shown, hidden or grown changes the room the frame should offer.
    if (watched == widget() && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}
