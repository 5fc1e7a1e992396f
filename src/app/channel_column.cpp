#include "app/channel_column.h"

#include <QPainter>

QString ChannelNameColumn::caption()
{
    const QString fs = QStringLiteral("　"); // full-width space
    QString s = fs + QStringLiteral("__CH1") + fs.repeated(7);
    for (int ch = 2; ch <= 8; ++ch) {
        s += QStringLiteral("__CH%1").arg(ch);
        s += fs.repeated(ch < 8 ? 8 : 29);
    }
    return s + QStringLiteral("Analog");
}

ChannelNameColumn::ChannelNameColumn(QWidget *parent) : QLabel(parent)
{
    setText(caption());
    setWordWrap(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 240));
    setPalette(pal);
    setAutoFillBackground(true);
}

void ChannelNameColumn::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(255, 255, 240));
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    // The widget starts one pixel left of and above the picture's origin.
    for (int k = 0; k < 8; ++k) {
        const QRect row(1, 1 + 36 * k + 10, width() - 1, 16);
        p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("__CH%1").arg(k + 1));
    }
    p.drawText(QRect(1, 1 + 362, width() - 1, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Analog"));
}
