#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

QImage AppIconImage(int size)
{
    // Drawn on an image rather than a pixmap so that the build's icon writer
    // needs no window system.
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 128));
    QPainter p(&image);
    const double s = size / 32.0;
    p.setPen(QPen(QColor(0, 255, 0), std::max(1.0, 2 * s)));
    const QPointF steps[] = {{2 * s, 20 * s}, {9 * s, 20 * s}, {9 * s, 6 * s}, {20 * s, 6 * s},
                             {20 * s, 20 * s}, {30 * s, 20 * s}};
    p.drawPolyline(steps, 6);
    p.setPen(QPen(QColor(255, 255, 0), std::max(1.0, s)));
    p.drawLine(QPointF(2 * s, 27 * s), QPointF(30 * s, 27 * s));
    return image;
}

QIcon MakeAppIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(AppIconImage(32)));
    icon.addPixmap(QPixmap::fromImage(AppIconImage(16)));
    return icon;
}
