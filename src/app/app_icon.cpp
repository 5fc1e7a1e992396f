#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

static QPixmap iconPixmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(QColor(0, 0, 128));
    QPainter p(&pm);
    const double s = size / 32.0;
    p.setPen(QPen(QColor(0, 255, 0), std::max(1.0, 2 * s)));
    const QPointF steps[] = {{2 * s, 20 * s}, {9 * s, 20 * s}, {9 * s, 6 * s}, {20 * s, 6 * s},
                             {20 * s, 20 * s}, {30 * s, 20 * s}};
    p.drawPolyline(steps, 6);
    p.setPen(QPen(QColor(255, 255, 0), std::max(1.0, s)));
    p.drawLine(QPointF(2 * s, 27 * s), QPointF(30 * s, 27 * s));
    return pm;
}

QIcon MakeAppIcon()
{
    QIcon icon;
    icon.addPixmap(iconPixmap(32));
    icon.addPixmap(iconPixmap(16));
    return icon;
}
