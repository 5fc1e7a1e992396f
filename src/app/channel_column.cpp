#include "app/channel_column.h"

#include <QEvent>
#include <QFontMetrics>
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

QString ChannelNameColumn::name(int row)
{
    return row < 8 ? QStringLiteral("__CH%1").arg(row + 1) : QStringLiteral("Analog");
}

ChannelNameColumn::ChannelNameColumn(QWidget *parent) : QLabel(parent)
{
    setText(caption());
    setWordWrap(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 240));
    setPalette(pal);
    setAutoFillBackground(true);
    fitNames();
}

// The widget starts one pixel left of and above the picture's origin.
QRect ChannelNameColumn::nameRect(int row) const
{
    const int top = row < 8 ? 1 + 36 * row + 10 : 1 + 362;
    return QRect(1, top, width() - 1, 16);
}

void ChannelNameColumn::fitNames()
{
    for (int row = 0; row < kNames; ++row) {
        QFont f = font();
        const int room = nameRect(row).width();
        while (QFontMetrics(f).horizontalAdvance(name(row)) > room && f.pointSizeF() - 0.5 >= 7.0)
            f.setPointSizeF(f.pointSizeF() - 0.5);
        nameFont_[row] = f;
    }
}

void ChannelNameColumn::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitNames();
}

void ChannelNameColumn::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitNames();
}

void ChannelNameColumn::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(255, 255, 240));
    p.setPen(palette().color(QPalette::WindowText));
    for (int row = 0; row < kNames; ++row) {
        p.setFont(nameFont_[row]);
        p.drawText(nameRect(row), Qt::AlignLeft | Qt::AlignVCenter, name(row));
    }
}
